// Decoding of the SMART READ DATA and READ ATTRIBUTE THRESHOLDS blocks into
// packed, named attribute records.
#include <cstring>

#include "inventory/attribute_fields.h"
#include "inventory/attribute_names.h"
#include "inventory/drive_inventory.h"

namespace {

enum { kSlotCount = 30, kSlotLength = 12, kFirstSlot = 2, kDescriptionWidth = 36 };

const uint8_t* Slot(const uint8_t* block, int index) {
    return block + kFirstSlot + kSlotLength * index;
}

}  // namespace

void NameAttribute(AttributeRecord* record) {
    const char* named = WindowAttributeText(AttributeId(*record));
    const char* text = named ? named : "(Unknown attribute)";
    // Padded with blanks to one width so that the export file's columns line
    // up; the rest stays zero. Written out rather than formatted: thirty
    // names through the formatter were 6 % of a report's instructions.
    static_assert(kDescriptionWidth < sizeof record->Description, "the width leaves room");
    std::memset(record->Description, 0, sizeof record->Description);
    std::memset(record->Description, ' ', kDescriptionWidth);
    const size_t length = std::strlen(text);  // a name of the window's table
    std::memcpy(record->Description, text,
                length < sizeof record->Description ? length : sizeof record->Description - 1);
}

void DriveInventory::StoreAttributes(const uint8_t* attributeData, const uint8_t* thresholdData,
                                     int position) {
    attributeRevision[position] = static_cast<int8_t>(attributeData[0]);
    thresholdRevision[position] = static_cast<int8_t>(thresholdData[0]);
    smartDataRevision[position] = static_cast<uint16_t>(attributeData[0] | (attributeData[1] << 8));
    int count = 0;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (Slot(attributeData, slot)[0] != 0) {
            ++count;
        }
    }
    delete[] attributes[position];
    attributeCount[position] = count;
    attributes[position] = new AttributeRecord[count];
    int next = 0;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const uint8_t* attribute = Slot(attributeData, slot);
        if (attribute[0] == 0) {
            continue;
        }
        AttributeRecord& record = attributes[position][next++];
        std::memcpy(record.Attribute, attribute, kSlotLength);
        NameAttribute(&record);
        // Paired by slot index, never by id: the threshold's own id is kept
        // but not compared.
        std::memcpy(record.Threshold, Slot(thresholdData, slot), kSlotLength);
    }
}

int DriveInventory::GetAttributeCount(int position) const {
    if (position < 0 || position >= kMaxDrivePositions) {
        return 0;
    }
    return attributeCount[position];
}

bool DriveInventory::ThresholdsKnown(int position) const {
    return position >= 0 && position < kMaxDrivePositions && !thresholdsUnknown[position];
}

bool DriveInventory::GetAttribute(int position, int index, AttributeRecord* record) const {
    if (position < 0 || position >= kMaxDrivePositions || index < 0 ||
        index >= attributeCount[position] || attributes[position] == nullptr) {
        return false;
    }
    *record = attributes[position][index];
    return true;
}
