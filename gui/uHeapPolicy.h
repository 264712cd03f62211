// How the window program's heap hands memory back. Called once at start-up, before the
// application object and the web engine allocate anything large.
#pragma once

// Large blocks (128 KiB and up: image buffers, page documents, the engine's own) get pages of
// their own, returned when freed. By default the C library raises that limit each time such a
// block is freed, after which the same blocks come from the heap proper; there they leave holes
// that later blocks do not fit, and the heap grows a little with every page shown and every
// connection made, for as long as the program runs.
void KeepLargeBlocksApart();
