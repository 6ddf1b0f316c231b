// The catalogue as the update server reads it (docs/update-server.md), and
// back: a dry run compares a release with what is published now.
#pragma once

#include <string>

#include "portable/result/result.hpp"
#include "publish/catalogue.hpp"

namespace qor::publish {

// UTF-8 JSON; records with every field in the answer order id fn ve pa ar
// ja st, one to a line.
std::string catalogue_json(const Catalogue& catalogue);

// A published catalogue, from the tool or written by hand: records given as
// objects or as verbatim record texts ("id=1|fn=...").
Result<Catalogue> read_catalogue_json(const std::string& text);

}  // namespace qor::publish
