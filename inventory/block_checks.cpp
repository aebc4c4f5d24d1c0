#include "inventory/block_checks.h"

#include "inventory/attribute_fields.h"

namespace {

bool SumsToZero(const uint8_t* block) {
    uint8_t sum = 0;
    for (int i = 0; i < 512; ++i) {
        sum = static_cast<uint8_t>(sum + block[i]);
    }
    return sum == 0;
}

}  // namespace

BlockCheck CheckSmartBlock(const uint8_t* block) {
    return SumsToZero(block) ? BlockCheck::kOk : BlockCheck::kFailed;
}

BlockCheck CheckIdentifyBlock(const uint8_t* block) {
    if (block[510] != 0xA5) {
        return BlockCheck::kUnsigned;
    }
    return SumsToZero(block) ? BlockCheck::kOk : BlockCheck::kFailed;
}

uint8_t FirstRepeatedAttributeId(const AttributeRecord* records, int count) {
    bool seen[256] = {};
    for (int i = 0; i < count; ++i) {
        const uint8_t id = AttributeId(records[i]);
        if (seen[id]) {
            return id;
        }
        seen[id] = true;
    }
    return 0;
}

const char* BlockCheckName(BlockCheck check) {
    static const char* const kNames[] = {"absent", "ok", "failed", "unsigned"};
    return kNames[static_cast<int>(check)];
}
