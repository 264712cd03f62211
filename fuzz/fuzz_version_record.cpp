// Hostile executables: the ELF section finder and the version record lookup must stay inside
// the file's bytes whatever the headers claim.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "settings/uElfSection.h"
#include "settings/uVersionRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const TReadAt readAt = [&](uint64_t Offset, void* Buffer, size_t Count) {
    if (Offset > Size || Count > Size - Offset) return false;
    std::memcpy(Buffer, Data + Offset, Count);
    return true;
  };
  std::string record, value;
  if (ReadElfSection(readAt, Size, kVersionSection, kMaxVersionRecord, record))
    VerQueryValue(record, "\\StringFileInfo\\080904E4\\FileVersion", value);
  // The raw bytes as a record too, so the lookup itself is explored.
  VerQueryValue(std::string_view(reinterpret_cast<const char*>(Data), Size),
                "\\StringFileInfo\\080904E4\\FileDate", value);
  return 0;
}
