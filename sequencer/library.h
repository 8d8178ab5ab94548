// The riff library: the riff in hand (g_uLibraryRiff) and the instruments its load brought
// (g_abInstrumentMarks).
#pragma once

// Stops a playing riff preview, deletes the library riff when a library load put it in hand
// (any key byte set), empties the slots the load marked and forgets the keys.
void Seq_DropLibraryRiff();
