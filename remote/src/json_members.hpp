// A JSON object's member by key, for the bridge's readers: a key given twice
// is reported, as the program's other files refuse it (which one a reader
// took would be a guess).
#pragma once

#include <string_view>

#include "tolvar/core/json_text.hpp"

namespace tolvar::remote {

struct Member {
    const core::JsonValue* value = nullptr;  // the last one given
    bool twice = false;
};

inline Member member(const core::JsonValue& object, std::string_view key) {
    Member found;
    for (const auto& m : object.members) {
        if (m.key != key) continue;
        found.twice = found.value != nullptr;
        found.value = &m.value;
    }
    return found;
}

}  // namespace tolvar::remote
