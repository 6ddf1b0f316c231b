// The window's headings, button texts and colours in the chosen language.
#include <string_view>

#include "server/answer_grammar.hpp"
#include "server/caption_colour.hpp"
#include "server/http_query.hpp"
#include "server/server_steps.hpp"
#include "window/QOR_sync_FRM.hpp"

namespace qor {

namespace {

struct CaptionKey {
  std::string_view key;
  Label& (*caption)(QOR_sync_FRM&);        // set for text keys
  std::int32_t& (*colour)(QOR_sync_MOD&);  // set for colour keys
};

constexpr CaptionKey kCaptionKeys[] = {
    {"lab6_0", [](QOR_sync_FRM& f) -> Label& { return f.Label6(0); }, nullptr},
    {"lab6_1", [](QOR_sync_FRM& f) -> Label& { return f.Label6(1); }, nullptr},
    {"lab6_2", [](QOR_sync_FRM& f) -> Label& { return f.Label6(2); }, nullptr},
    {"lab6_3", [](QOR_sync_FRM& f) -> Label& { return f.Label6(3); }, nullptr},
    {"lab6_4", [](QOR_sync_FRM& f) -> Label& { return f.Label6(4); }, nullptr},
    {"com6_1", [](QOR_sync_FRM& f) -> Label& { return f.Label3(0); }, nullptr},
    {"com6_2", [](QOR_sync_FRM& f) -> Label& { return f.Label3(1); }, nullptr},
    {"com6_3", [](QOR_sync_FRM& f) -> Label& { return f.Label3(2); }, nullptr},
    {"com6_4", [](QOR_sync_FRM& f) -> Label& { return f.Label3(3); }, nullptr},
    {"col_head", nullptr, [](QOR_sync_MOD& m) -> std::int32_t& { return m.colour_head; }},
    {"col_thead", nullptr, [](QOR_sync_MOD& m) -> std::int32_t& { return m.colour_thead; }},
    {"col_list", nullptr, [](QOR_sync_MOD& m) -> std::int32_t& { return m.colour_list; }},
    {"col_tlist", nullptr, [](QOR_sync_MOD& m) -> std::int32_t& { return m.colour_tlist; }},
};

void apply_caption_record(QOR_sync_FRM& form, std::string_view record) {
  const std::string_view first_field = *answer::record_fields(record).begin();
  for (const CaptionKey& entry : kCaptionKeys) {
    if (first_field != entry.key) continue;
    // A known key without a value, or a colour that is no number, is left out
    // rather than guessed at: the target keeps what it had.
    const auto value = answer::whole_field_value(record, entry.key);
    if (!value) return;
    if (entry.caption) {
      entry.caption(form).Caption = std::string(*value);
    } else if (const auto colour = parse_colour(*value)) {
      entry.colour(form.shared().mod) = *colour;
    }
    return;
  }
}

}  // namespace

void load_captions(QOR_sync_FRM& form, const UpdateServer& server) {
  const std::string answer = http_get_text(
      form.host(), query_url(server.address, "art=caption&was=" + form.shared().mod.language), server.limits);
  for (const std::string_view record : answer::record_list(answer)) apply_caption_record(form, record);
  form.apply_colours();
  form.Picture30.Visible = true;
  form.Picture1(9).Visible = false;
  form.Timer1.Enabled = true;
}

}  // namespace qor
