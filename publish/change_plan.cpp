#include "publish/change_plan.hpp"

#include <map>

#include "portable/text/letter_case.hpp"

namespace qor::publish {
namespace {

struct Listed {
  const PackageRecord* record;
  const char* list;
};

std::map<std::string, Listed> by_name(const Catalogue& c) {
  std::map<std::string, Listed> out;
  for (const PackageRecord& r : c.install) out.emplace(fold_case_text(r.fn), Listed{&r, "install"});
  for (const PackageRecord& r : c.update) out.emplace(fold_case_text(r.fn), Listed{&r, "update"});
  return out;
}

void differ(std::vector<std::string>& reasons, const char* what, const std::string& before, const std::string& after) {
  if (before != after) reasons.push_back(std::string(what) + " \"" + before + "\" -> \"" + after + "\"");
}

}  // namespace

int ChangePlan::count(Change change) const {
  int n = 0;
  for (const PlannedFile& f : files) n += f.change == change ? 1 : 0;
  return n;
}

bool ChangePlan::changes_anything() const {
  return !catalogue_changes.empty() || count(Change::Added) + count(Change::Changed) + count(Change::Removed) > 0;
}

const char* change_word(Change change) {
  switch (change) {
    case Change::Added:
      return "added";
    case Change::Changed:
      return "changed";
    case Change::Removed:
      return "removed";
    case Change::Unchanged:
      break;
  }
  return "unchanged";
}

ChangePlan plan_changes(const Catalogue& published, const Catalogue& next) {
  ChangePlan plan;
  const auto before = by_name(published);
  const auto after = by_name(next);
  const auto plan_one = [&](const PackageRecord& r, const char* list) {
    PlannedFile f;
    f.file = r.fn;
    f.after = r;
    const auto old = before.find(fold_case_text(r.fn));
    if (old == before.end()) {
      f.change = Change::Added;
    } else {
      const PackageRecord& o = *old->second.record;
      f.before = o;
      differ(f.reasons, "name", o.fn, r.fn);
      differ(f.reasons, "list", old->second.list, list);
      differ(f.reasons, "ve", o.ve, r.ve);
      differ(f.reasons, "pa", o.pa, r.pa);
      differ(f.reasons, "ar", o.ar, r.ar);
      differ(f.reasons, "st", std::to_string(o.st), std::to_string(r.st));
      // A file whose "ve=" says nothing of its content (or a catalogue
      // written without stamps) is compared by its size and last write.
      const auto old_stamp = published.files.find(o.fn);
      const auto new_stamp = next.files.find(r.fn);
      if (old_stamp == published.files.end() || new_stamp == next.files.end()) {
        if (r.ve.empty()) f.reasons.emplace_back("content not known as published");
      } else if (!(old_stamp->second == new_stamp->second)) {
        const auto& [old_bytes, new_bytes] = std::pair(old_stamp->second.bytes, new_stamp->second.bytes);
        f.reasons.push_back(old_bytes == new_bytes ? std::string("content (last write)")
                                                   : "content (" + std::to_string(old_bytes) + " -> " +
                                                         std::to_string(new_bytes) + " bytes)");
      }
      f.change = f.reasons.empty() ? Change::Unchanged : Change::Changed;
    }
    plan.files.push_back(std::move(f));
  };
  for (const PackageRecord& r : next.install) plan_one(r, "install");
  for (const PackageRecord& r : next.update) plan_one(r, "update");
  for (const auto* list : {&published.install, &published.update}) {
    for (const PackageRecord& r : *list) {
      if (after.count(fold_case_text(r.fn))) continue;
      PlannedFile f;
      f.change = Change::Removed;
      f.file = r.fn;
      f.before = r;
      plan.files.push_back(std::move(f));
    }
  }
  if (published.captions != next.captions) plan.catalogue_changes.emplace_back("captions and colours");
  if (published.settings != next.settings) plan.catalogue_changes.emplace_back("transfer settings (se fo us pa)");
  if (published.charset != next.charset)
    plan.catalogue_changes.push_back("charset " + published.charset + " -> " + next.charset);
  if (published.new_folders != next.new_folders) plan.catalogue_changes.emplace_back("new folders");
  if (published.mainprogram != next.mainprogram)
    plan.catalogue_changes.push_back("main program \"" + published.mainprogram + "\" -> \"" + next.mainprogram + "\"");
  if (published.updaprogram != next.updaprogram)
    plan.catalogue_changes.push_back("update program \"" + published.updaprogram + "\" -> \"" + next.updaprogram +
                                     "\"");
  return plan;
}

}  // namespace qor::publish
