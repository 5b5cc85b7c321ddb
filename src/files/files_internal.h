// Helpers shared by the units of the file layer.
#pragma once

#include <cstdint>

#include "files/file_slots.h"
#include "stream/crt_stream.h"

namespace lumetra {

// The operation table shared by all disk files.
extern const DeviceOps disk_device_ops;

// Positions a stream: origin 0 from the start, 1 from the current position,
// 2 from the end (pending output is flushed first and the system's length
// used). 0 on success, -1 on failure or for another origin.
[[nodiscard]] std::int32_t seek_stream(CrtStream& stream, std::int64_t offset, std::int32_t origin) noexcept;

// Makes the slot free: every field back to its default, its stream closed
// without a report.
void clear_slot(FileSlot& slot) noexcept;

}  // namespace lumetra
