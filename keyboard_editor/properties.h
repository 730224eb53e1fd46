// Property containers: settings identified by number, each an integer or a text.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <variant>

namespace clavon {

using Property = std::variant<std::int32_t, std::string>;

class PropertyContainer {
  public:
    bool Has(int id) const { return m_values.count(id) != 0; }
    std::int32_t Int(int id, std::int32_t fallback = 0) const {
        auto it = m_values.find(id);
        if (it == m_values.end()) return fallback;
        const auto* value = std::get_if<std::int32_t>(&it->second);
        return value ? *value : fallback;
    }
    std::string Text(int id) const {
        auto it = m_values.find(id);
        if (it == m_values.end()) return {};
        const auto* value = std::get_if<std::string>(&it->second);
        return value ? *value : std::string();
    }
    void Set(int id, Property value) { m_values[id] = std::move(value); }
    void SetIfMissing(int id, Property value) { m_values.try_emplace(id, std::move(value)); }
    void Remove(int id) { m_values.erase(id); }
    const std::map<int, Property>& All() const { return m_values; }
    bool operator==(const PropertyContainer&) const = default;

  private:
    std::map<int, Property> m_values;
};

}  // namespace clavon
