// IOCTL_STORAGE_QUERY_PROPERTY for NVMe data, as Windows 10's inbox NVMe
// driver answers it: the buffer starts with a STORAGE_PROPERTY_QUERY whose
// AdditionalParameters are a STORAGE_PROTOCOL_SPECIFIC_DATA record; the
// reply starts with a STORAGE_PROTOCOL_DATA_DESCRIPTOR, the same record at
// the same place. The data follows the record (its ProtocolDataOffset counts
// from the record's start). Plain functions over bytes, little-endian as the
// platform lays them out, so that a kernel-mode stand-in reads the same.
#pragma once

#include <stdint.h>
#include <string.h>

enum : uint32_t {
    kStorageQueryProperty = 0x2D1400u,
    // STORAGE_PROPERTY_ID
    kAdapterProtocolSpecificProperty = 49,  // the controller: Identify Controller, log pages
    kDeviceProtocolSpecificProperty = 50,   // the namespace: Identify Namespace
    kPropertyStandardQuery = 0,
    kProtocolTypeNvme = 3,
    // STORAGE_PROTOCOL_NVME_DATA_TYPE
    kNvmeDataTypeIdentify = 1,
    kNvmeDataTypeLogPage = 2,
    // CNS values and the log page
    kNvmeIdentifyNamespace = 0,
    kNvmeIdentifyController = 1,
    kNvmeHealthLogPage = 2,
    kNvmeSelfTestLogPage = 6,
    kNvmeSelfTestLogLength = 564,
};

// Where the parts lie: the 8-byte head (PropertyId and QueryType in a
// query, Version and Size in a reply), the 40-byte protocol record, the data.
enum : uint32_t {
    kProtocolRecordOffset = 8,
    kProtocolRecordSize = 40,
    kProtocolDataStart = kProtocolRecordOffset + kProtocolRecordSize,
};

// What one query asks for.
struct NvmeQuery {
    uint32_t propertyId;
    uint32_t dataType;
    uint32_t requestValue;     // the CNS, or the log page's id
    uint32_t requestSubValue;  // the namespace id of Identify Namespace
    uint32_t length;           // bytes of data
};

// The three queries a scan makes, in its order.
inline NvmeQuery IdentifyControllerQuery() {
    return {kAdapterProtocolSpecificProperty, kNvmeDataTypeIdentify, kNvmeIdentifyController, 0,
            4096};
}
inline NvmeQuery IdentifyNamespaceQuery() {
    return {kDeviceProtocolSpecificProperty, kNvmeDataTypeIdentify, kNvmeIdentifyNamespace, 1,
            4096};
}
inline NvmeQuery HealthLogQuery() {
    return {kAdapterProtocolSpecificProperty, kNvmeDataTypeLogPage, kNvmeHealthLogPage, 0, 512};
}

// Read after the health log where the controller has self-tests.
inline NvmeQuery SelfTestLogQuery() {
    return {kAdapterProtocolSpecificProperty, kNvmeDataTypeLogPage, kNvmeSelfTestLogPage, 0,
            kNvmeSelfTestLogLength};
}

inline void PutWord32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

inline uint32_t Word32(const uint8_t* at) {
    return at[0] | (static_cast<uint32_t>(at[1]) << 8) | (static_cast<uint32_t>(at[2]) << 16) |
           (static_cast<uint32_t>(at[3]) << 24);
}

// The protocol record of a query or a reply, its data right after it.
inline void PutProtocolRecord(uint8_t* record, const NvmeQuery& query, uint32_t dataLength) {
    PutWord32(record, kProtocolTypeNvme);
    PutWord32(record + 4, query.dataType);
    PutWord32(record + 8, query.requestValue);
    PutWord32(record + 12, query.requestSubValue);
    PutWord32(record + 16, kProtocolRecordSize);
    PutWord32(record + 20, dataLength);
}

// The query's buffer: kProtocolDataStart + query.length bytes, the data
// part zeroed.
inline void BuildNvmeQuery(const NvmeQuery& query, uint8_t* buffer) {
    memset(buffer, 0, kProtocolDataStart + query.length);
    PutWord32(buffer, query.propertyId);
    PutWord32(buffer + 4, kPropertyStandardQuery);
    PutProtocolRecord(buffer + kProtocolRecordOffset, query, query.length);
}

// The query a buffer holds; false when it is no standard NVMe protocol query.
inline bool ReadNvmeQuery(const uint8_t* input, uint32_t length, NvmeQuery* query) {
    if (input == nullptr || length < kProtocolDataStart) {
        return false;
    }
    const uint8_t* record = input + kProtocolRecordOffset;
    if (Word32(input + 4) != kPropertyStandardQuery || Word32(record) != kProtocolTypeNvme) {
        return false;
    }
    query->propertyId = Word32(input);
    query->dataType = Word32(record + 4);
    query->requestValue = Word32(record + 8);
    query->requestSubValue = Word32(record + 12);
    query->length = Word32(record + 20);
    return true;
}

// The reply's data, when the descriptor places `wanted` bytes inside the
// `returned` bytes of the reply; null otherwise. A driver's offset and
// length are checked before anything is read through them.
inline const uint8_t* NvmeReplyData(const uint8_t* reply, uint32_t returned, uint32_t wanted) {
    if (reply == nullptr || returned < kProtocolDataStart) {
        return nullptr;
    }
    const uint8_t* record = reply + kProtocolRecordOffset;
    const uint32_t offset = Word32(record + 16);
    const uint32_t length = Word32(record + 20);
    const uint32_t room = returned - kProtocolRecordOffset;
    if (length < wanted || offset > room || wanted > room - offset) {
        return nullptr;
    }
    return record + offset;
}

// IOCTL_STORAGE_PROTOCOL_COMMAND carrying the one NVMe admin command that
// vantrel-report sends beyond its reads: Device Self-test (14h), to every
// namespace, with the self-test code (STC) in CDW10 bits 3:0: 1h short, 2h
// extended, Fh abort. The buffer is a STORAGE_PROTOCOL_COMMAND record (its
// 80-byte head) followed by the 64-byte command; the driver hands the record
// back with ReturnStatus set.
enum : uint32_t {
    kStorageProtocolCommand = 0x2DD3C0u,
    kProtocolCommandHead = 80,
    kNvmeCommandLength = 64,
    kProtocolCommandLength = kProtocolCommandHead + kNvmeCommandLength,
    kProtocolCommandReturnStatus = 16,
    kProtocolStatusSuccess = 1,
    kProtocolStatusError = 2,
    kNvmeAdminDeviceSelfTest = 0x14,
    kNvmeAllNamespaceIds = 0xFFFFFFFFu,
};

inline void BuildNvmeSelfTestCommand(uint8_t code, uint8_t* buffer) {
    memset(buffer, 0, kProtocolCommandLength);
    PutWord32(buffer, 1);                        // Version
    PutWord32(buffer + 4, 84);                   // Length: the record with Command[1]
    PutWord32(buffer + 8, kProtocolTypeNvme);    // ProtocolType
    PutWord32(buffer + 12, 0x80000000u);         // Flags: an adapter request
    PutWord32(buffer + 24, kNvmeCommandLength);  // CommandLength
    PutWord32(buffer + 40, 10);                  // TimeOutValue, seconds
    PutWord32(buffer + 56, 1);                   // CommandSpecific: an admin command
    uint8_t* command = buffer + kProtocolCommandHead;
    command[0] = kNvmeAdminDeviceSelfTest;
    PutWord32(command + 4, kNvmeAllNamespaceIds);  // NSID
    PutWord32(command + 40, code);                 // CDW10: STC
}

// The self-test code of a record BuildNvmeSelfTestCommand makes with 1h,
// 2h or Fh; 0 for anything else.
inline uint8_t NvmeSelfTestCommandCode(const void* input, uint32_t length) {
    if (input == NULL || length != kProtocolCommandLength) {
        return 0;
    }
    const uint8_t codes[] = {0x1, 0x2, 0xF};
    for (size_t i = 0; i < sizeof codes; ++i) {
        uint8_t expected[kProtocolCommandLength];
        BuildNvmeSelfTestCommand(codes[i], expected);
        if (memcmp(input, expected, sizeof expected) == 0) {
            return codes[i];
        }
    }
    return 0;
}
