#include "inventory/block_checks.h"

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

const char* BlockCheckName(BlockCheck check) {
    static const char* const kNames[] = {"absent", "ok", "failed", "unsigned"};
    return kNames[static_cast<int>(check)];
}
