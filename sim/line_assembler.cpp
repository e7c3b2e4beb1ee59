#include "line_assembler.h"

namespace Sim {

bool Line_Assembler::feed(char byte)
{
    if (byte == '\r') {
        complete_.swap(partial_);
        partial_.clear();
        return true;
    }
    // A line feed between lines is tolerated (a terminal sends CR LF); one
    // inside a line stays and makes the line malformed.
    if (byte == '\n' && partial_.empty())
        return false;
    if (partial_.size() < max_kept)
        partial_ += byte;
    return false;
}

void Line_Assembler::clear()
{
    partial_.clear();
}

} // namespace Sim
