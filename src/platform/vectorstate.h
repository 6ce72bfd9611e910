#pragma once

namespace platform {

// Clears the upper halves of the processor's vector registers where the processor has them.
// Some library code run while the windowing system starts leaves them in use; until they are
// cleared every older vector instruction (the ones Qt's text copying is built from) waits on
// them, and long text loops ran about six times slower. Loops over a whole report call this
// first. Does nothing on other processors.
void clearVectorUpperState();

} // namespace platform
