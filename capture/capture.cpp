#include "capture/capture.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "inventory/decimal_text.h"

namespace {

bool Fail(std::string* error, const std::string& name, size_t offset, const std::string& what) {
    if (error) {
        *error = name + ": offset " + DecimalText(offset) + ": " + what;
    }
    return false;
}

// Tags are shown printable, whatever bytes a damaged file holds.
std::string TagText(const uint8_t* tag) {
    std::string text;
    for (int i = 0; i < 4; ++i) {
        if (tag[i] >= 0x20 && tag[i] < 0x7F) {
            text += static_cast<char>(tag[i]);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", tag[i]);
            text += hex;
        }
    }
    return text;
}

void PutBigEndian(std::vector<uint8_t>* out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out->push_back(static_cast<uint8_t>(value >> shift));
    }
}

}  // namespace

bool ParseCapture(const uint8_t* data, size_t size, const std::string& name, DriveCapture* capture,
                  std::string* error) {
    CaptureFault fault;
    if (ReadCaptureSections(data, size, capture, &fault)) {
        return true;
    }
    const std::string tag = TagText(fault.tag);
    switch (fault.kind) {
        case CaptureFault::kEmpty:
            return Fail(error, name, fault.offset, "empty file");
        case CaptureFault::kTooLarge:
            return Fail(error, name, fault.offset, "file is larger than 65536 bytes");
        case CaptureFault::kTruncatedHeader:
            return Fail(error, name, fault.offset, "truncated section header");
        case CaptureFault::kSectionTwice:
            return Fail(error, name, fault.offset, "section " + tag + " appears twice");
        case CaptureFault::kWrongLength:
            return Fail(error, name, fault.offset,
                        "section " + tag + " has length " + DecimalText(fault.length) +
                            ", expected " + DecimalText(fault.expected));
        case CaptureFault::kTruncatedPayload:
            return Fail(error, name, fault.offset,
                        "section " + tag + " payload of " + DecimalText(fault.length) +
                            " bytes is truncated: " + DecimalText(fault.left) + " bytes left");
        case CaptureFault::kNoNvmeIdentify:
            return Fail(error, name, fault.offset, "NVMe sections without an NVID section");
        case CaptureFault::kNoHealthLog:
            return Fail(error, name, fault.offset, "no NVHL section");
        case CaptureFault::kTwoDrives:
            return Fail(error, name, fault.offset,
                        "both IDFY and NVMe sections: a capture holds one drive");
        case CaptureFault::kNoIdentify:
            break;
    }
    return Fail(error, name, fault.offset, "no IDFY section");
}

bool ReadCaptureFile(const std::string& path, DriveCapture* capture, std::string* error) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        return Fail(error, path, 0, std::string("cannot open: ") + std::strerror(errno));
    }
    // Read one byte past the limit so an oversized file is told apart. Only
    // the bytes read are looked at, so the buffer needs no zero fill.
    std::unique_ptr<uint8_t[]> data(new uint8_t[kMaxCaptureSize + 1]);
    const size_t size = std::fread(data.get(), 1, kMaxCaptureSize + 1, file);
    const bool readError = std::ferror(file) != 0;
    std::fclose(file);
    if (readError) {
        return Fail(error, path, size, "read error");
    }
    return ParseCapture(data.get(), size, path, capture, error);
}

std::vector<uint8_t> SerializeCapture(const DriveCapture& capture) {
    std::vector<uint8_t> out;
    for (const CaptureSection& section : kCaptureSections) {
        if (!(capture.*section.present)) {
            continue;
        }
        out.insert(out.end(), section.tag, section.tag + 4);
        const uint32_t length = section.Length(capture);
        PutBigEndian(&out, length);
        const uint8_t* payload = reinterpret_cast<const uint8_t*>(&capture) + section.payload;
        out.insert(out.end(), payload, payload + length);
    }
    return out;
}

bool WriteCaptureFile(const std::string& path, const DriveCapture& capture, std::string* error) {
    const std::vector<uint8_t> bytes = SerializeCapture(capture);
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return Fail(error, path, 0, std::string("cannot create: ") + std::strerror(errno));
    }
    const size_t written = std::fwrite(bytes.data(), 1, bytes.size(), file);
    const bool closed = std::fclose(file) == 0;
    if (written != bytes.size() || !closed) {
        return Fail(error, path, written, "write error");
    }
    return true;
}
