#include "char_width.hpp"

namespace tolvar::pty::width_tables {
// Declared extern in the header, so these definitions are visible to it.
#include "char_width_table.inc"
}  // namespace tolvar::pty::width_tables
