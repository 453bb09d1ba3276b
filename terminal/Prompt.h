#pragma once

namespace psucal {

class BenchUi;

// Waits for a line on `fd` while the event loop keeps running (Ctrl-C still ends the program
// through the close sequence). False when no line can come: end of input, or a descriptor
// that is closed or cannot be read.
bool WaitForEnter(int fd);

// Asks on stderr for the output terminals to be shorted and waits for Enter on `fd`, unless
// `yes` answers at once. False (and said why) when no answer can come; Cancelled when the
// program ended meanwhile.
bool AskToShortTerminals(bool yes, int fd, const BenchUi& ui);

// Opens /dev/null on any of descriptors 0..2 that the parent left closed. Otherwise the first
// port or file opened would take that number, and the prompt would read the serial line.
void KeepStandardStreamsOpen();

} // namespace psucal
