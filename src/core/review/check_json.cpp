#include "review/check_json.h"

#include "project/json_text.h"
#include "text/text_form.h"

namespace verbix {
namespace {

Value found(const Value* p_value) { return p_value ? *p_value : Value(); }

}  // namespace

std::string check_json(const CheckFindings& p_findings) {
  List added, removed, changed;
  for (size_t t = 0; t < FIELDS.size(); ++t) {
    const Value table(std::string(FIELDS[t].key));
    const Map& game = record_table(p_findings.game, FIELDS[t].key);
    const Map& merged = record_table(p_findings.merged, FIELDS[t].key);
    for (const std::string& id : p_findings.tables[t].adds)
      added.emplace_back(
          Map{{"table", table}, {"id", Value(id)}, {"english", found(game.find(id))}});
    for (const std::string& id : p_findings.tables[t].rems)
      removed.emplace_back(Map{{"table", table}, {"id", Value(id)}});
    for (const EnglishChange& change : p_findings.changed[t])
      changed.emplace_back(Map{{"table", table},
                               {"id", Value(change.key)},
                               {"was", change.was},
                               {"now", change.now},
                               {"translation", found(merged.find(change.key))}});
  }
  const Value* game_version = p_findings.game.find("ver_hash");
  Map totals{{"added", Value(added.size())},
             {"removed", Value(removed.size())},
             {"changed", Value(changed.size())}};
  Map doc;
  doc.set("format", Value(p_findings.format));
  doc.set("version", Value(Map{{"project", Value(text_form(p_findings.project_version))},
                               {"game", Value(text_form(found(game_version)))}}));
  doc.set("baseline", Value(p_findings.baseline));
  doc.set("added", Value(std::move(added)));
  doc.set("removed", Value(std::move(removed)));
  doc.set("changed", Value(std::move(changed)));
  doc.set("totals", Value(std::move(totals)));
  std::string out;
  append_json(out, Value(std::move(doc)));
  return out;
}

}  // namespace verbix
