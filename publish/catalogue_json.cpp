#include "publish/catalogue_json.hpp"

#include "publish/json_value.hpp"

namespace qor::publish {
namespace {

std::string key_values(const KeyValues& entries) {
  std::string out = "{";
  for (std::size_t i = 0; i < entries.size(); ++i) {
    out += (i ? ", " : "") + json_quoted(entries[i].first) + ": " + json_quoted(entries[i].second);
  }
  return out + "}";
}

std::string record_json(const PackageRecord& r) {
  return "{\"id\": " + std::to_string(r.id) + ", \"fn\": " + json_quoted(r.fn) + ", \"ve\": " + json_quoted(r.ve) +
         ", \"pa\": " + json_quoted(r.pa) + ", \"ar\": " + json_quoted(r.ar) + ", \"ja\": " + std::to_string(r.ja) +
         ", \"st\": " + std::to_string(r.st) + "}";
}

std::string records_json(const std::vector<PackageRecord>& records) {
  if (records.empty()) return "[]";
  std::string out = "[\n";
  for (std::size_t i = 0; i < records.size(); ++i)
    out += "    " + record_json(records[i]) + (i + 1 < records.size() ? ",\n" : "\n");
  return out + "  ]";
}

// A field of a record as the server writes it: text as it is, a number in
// decimal.
std::string field_text(const JsonValue& v) {
  if (v.kind == JsonValue::Kind::Number) return std::to_string(v.number);
  return v.text;
}

std::int64_t field_number(const std::string& text) {
  try {
    return std::stoll(text);
  } catch (...) {
    return 0;
  }
}

Result<std::vector<PackageRecord>> records_of(const JsonValue* list, const std::string& name) {
  std::vector<PackageRecord> records;
  if (!list) return records;
  if (list->kind != JsonValue::Kind::List) return Failure{"\"" + name + "\" is no list"};
  for (const JsonValue& entry : list->list) {
    PackageRecord r;
    std::map<std::string, std::string> fields;
    if (entry.kind == JsonValue::Kind::Text) {
      // A record given verbatim: fields by their three-character keys.
      std::size_t start = 0;
      while (start <= entry.text.size()) {
        std::size_t end = entry.text.find('|', start);
        if (end == std::string::npos) end = entry.text.size();
        const std::string field = entry.text.substr(start, end - start);
        if (field.size() >= 3 && field[2] == '=') fields[field.substr(0, 2)] = field.substr(3);
        start = end + 1;
      }
    } else if (entry.kind == JsonValue::Kind::Object) {
      for (const auto& [key, value] : entry.object) fields[key] = field_text(value);
    } else {
      return Failure{"a record of \"" + name + "\" is neither an object nor a text"};
    }
    r.id = field_number(fields["id"]);
    r.fn = fields["fn"];
    r.ve = fields["ve"];
    r.pa = fields["pa"];
    r.ar = fields["ar"];
    r.ja = field_number(fields["ja"]);
    r.st = field_number(fields["st"]);
    records.push_back(std::move(r));
  }
  return records;
}

}  // namespace

std::string catalogue_json(const Catalogue& c) {
  std::string out = "{\n  \"captions\": {";
  for (std::size_t i = 0; i < c.captions.size(); ++i) {
    out += (i ? ",\n    " : "\n    ") + json_quoted(c.captions[i].first) + ": " + key_values(c.captions[i].second);
  }
  out += c.captions.empty() ? "},\n" : "\n  },\n";
  out += "  \"settings\": " + key_values(c.settings) + ",\n";
  out += "  \"charset\": " + json_quoted(c.charset) + ",\n";
  out += "  \"new\": [";
  for (std::size_t i = 0; i < c.new_folders.size(); ++i) out += (i ? ", " : "") + json_quoted(c.new_folders[i]);
  out += "],\n";
  out += "  \"install\": " + records_json(c.install) + ",\n";
  out += "  \"update\": " + records_json(c.update) + ",\n";
  out += "  \"mainprogram\": " + json_quoted(c.mainprogram) + ",\n";
  if (!c.updaprogram.empty()) out += "  \"updaprogram\": " + json_quoted(c.updaprogram) + ",\n";
  out += "  \"files\": {";
  bool first = true;
  for (const auto& [name, stamp] : c.files) {
    out += (first ? "\n    " : ",\n    ") + json_quoted(name) + ": {\"bytes\": " + std::to_string(stamp.bytes) +
           ", \"written\": " + std::to_string(stamp.written) + "}";
    first = false;
  }
  out += c.files.empty() ? "}\n}\n" : "\n  }\n}\n";
  return out;
}

Result<Catalogue> read_catalogue_json(const std::string& text) {
  auto document = parse_json(text);
  if (!document) return document.failure();
  const JsonValue& root = *document;
  if (root.kind != JsonValue::Kind::Object) return Failure{"the catalogue is no JSON object"};
  Catalogue c;
  if (const JsonValue* captions = root.member("captions"); captions && captions->kind == JsonValue::Kind::Object) {
    for (const auto& [language, entries] : captions->object) {
      KeyValues values;
      for (const auto& [key, value] : entries.object) values.emplace_back(key, field_text(value));
      c.captions.emplace_back(language, std::move(values));
    }
  }
  if (const JsonValue* settings = root.member("settings"); settings && settings->kind == JsonValue::Kind::Object) {
    for (const auto& [key, value] : settings->object) c.settings.emplace_back(key, field_text(value));
  }
  if (const JsonValue* charset = root.member("charset")) c.charset = charset->text;
  if (const JsonValue* folders = root.member("new")) {
    for (const JsonValue& folder : folders->list) c.new_folders.push_back(folder.text);
  }
  auto install = records_of(root.member("install"), "install");
  if (!install) return install.failure();
  auto update = records_of(root.member("update"), "update");
  if (!update) return update.failure();
  c.install = std::move(*install);
  c.update = std::move(*update);
  if (const JsonValue* main = root.member("mainprogram")) c.mainprogram = main->text;
  if (const JsonValue* upda = root.member("updaprogram")) c.updaprogram = upda->text;
  if (const JsonValue* files = root.member("files"); files && files->kind == JsonValue::Kind::Object) {
    for (const auto& [name, stamp] : files->object) {
      FileStamp s;
      if (const JsonValue* bytes = stamp.member("bytes")) s.bytes = bytes->number;
      if (const JsonValue* written = stamp.member("written")) s.written = written->number;
      c.files[name] = s;
    }
  }
  return c;
}

}  // namespace qor::publish
