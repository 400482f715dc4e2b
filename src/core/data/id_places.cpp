#include "data/id_places.h"

#include <utility>

namespace verbix {

void IdPlaces::want(std::string_view p_id) {
  if (p_id != "format") places_.try_emplace(std::string(p_id));
}

const std::vector<IdPlace>* IdPlaces::find(std::string_view p_id) const {
  const auto it = places_.find(p_id);
  return it == places_.end() ? nullptr : &it->second;
}

std::vector<IdPlace>* IdPlaces::find(std::string_view p_id) {
  const auto it = places_.find(p_id);
  return it == places_.end() ? nullptr : &it->second;
}

const std::vector<IdPlace>& IdPlaces::of(std::string_view p_id) const {
  static const std::vector<IdPlace> none;
  const std::vector<IdPlace>* places = find(p_id);
  return places ? *places : none;
}

void IdPlaces::replace(std::string_view p_id, std::size_t p_at, std::string p_text) {
  if (std::vector<IdPlace>* places = find(p_id)) {
    places->clear();
    places->push_back({p_at, std::move(p_text)});
  }
}

void IdPlaces::add(std::string_view p_id, std::size_t p_at, std::string p_text) {
  if (std::vector<IdPlace>* places = find(p_id)) places->push_back({p_at, std::move(p_text)});
}

}  // namespace verbix
