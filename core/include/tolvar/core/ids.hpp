// Text identifiers of profiles ("p") and tab records ("s"): prefix, Unix time
// in milliseconds, and a process-wide sequence number. Thread-safe.
#pragma once

#include <cstdint>
#include <string>

namespace tolvar::core {

// "{prefix}-{milliseconds}-{sequence}"; the sequence is shared by all prefixes
// and starts at 0 in each process.
std::string new_id(char prefix);

// The pure part of new_id, for tests: a clock before 1970 gives 0 ms.
std::string format_id(char prefix, std::int64_t time_100ns, std::uint64_t sequence);

}  // namespace tolvar::core
