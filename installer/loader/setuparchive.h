#pragma once

// The setup archive setup.1 as the loading program finds and unpacks it:
// inside the self-extracting file, behind the trailer's offsets, or beside
// it in the distribution folder. Everything is checked before the first byte
// is written: the trailer, the archive's head and headers, that every file's
// data lies inside the setup.1 copy.

#include <cstdint>
#include <string>
#include <vector>

#include "installer/formats/kvraformat.h"
#include "platform/rtl/exceptions.h"

class TStream;

// Failures of the loader; the message is what the user reads.
class ELoader : public Exception
{
public:
    using Exception::Exception;
};

struct TSetupArchive {
    std::string path; // the file that holds setup.1
    int64_t first = 0; // its first byte in that file
    int64_t last = 0; // its last byte
    bool selfExtracting = false;
};

// Where setup.1 lies for the loading program whose own file is self.
TSetupArchive FindSetupArchive(const std::string &self);

// The headers of setup.1, each checked to lie inside the copy.
std::vector<TKvraStoredHeader> ReadSetupHeaders(TStream &stream, const TSetupArchive &archive);

// Inflates one file into folder, giving it its archive date, and execute
// bits when it is a program.
void ExtractSetupFile(TStream &stream, const TSetupArchive &archive, const TKvraStoredHeader &header,
    TKvraInflater &inflater, const std::string &folder);
