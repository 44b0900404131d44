#pragma once

#include <cstddef>

// Brings the pages of [p, p + bytes) into memory now, in one request to the system where it can, instead
// of one fault per page at their first touch: those faults are slow, and on the audio thread they stall
// it. Contents are kept. Returns false where the system cannot: then the pages come in at their first
// touch as before.
bool prefaultPages(void* p, std::size_t bytes);
