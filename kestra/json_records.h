// The fixed-size records of a project image as JSON members: one table per record, naming the
// fields whose meaning is known; the bytes between them are kept as hex.
#pragma once

#include "kestra/json_codec.h"

namespace kestra::json::records {

extern const RecordTable kNetworkNode;
extern const RecordTable kProjectRecord;
extern const RecordTable kExtensionRecord;
extern const RecordTable kPageSingleLanguage;  // the inline name is handled by the page walk
extern const RecordTable kPageMultiLanguage;
extern const RecordTable kField;
extern const RecordTable kGroup;
extern const RecordTable kFolderEntry;   // field lists and section 6
extern const RecordTable kIndexedEntry;  // section 2a and the group lists
extern const RecordTable kEntry14;
extern const RecordTable kRecord310;
extern const RecordTable kTagElement;
extern const RecordTable kLanguage;
extern const RecordTable kBitmapHead;
extern const RecordTable kShapeHead;
extern const RecordTable kInfoHeader;
extern const RecordTable kCoreHeader;
extern const RecordTable kResource;
extern const RecordTable kResourceHead;
extern const RecordTable kTextEntryValues;
extern const RecordTable kOptionListHead;

// Offsets the walk needs.
namespace project {
inline constexpr std::size_t kSection1Count = 427, kSection2aCount = 448, kGroupCount = 454,
                             kSection4Present = 464, kPageCount = 470, kText1Length = 525,
                             kText2Length = 526, kSection9Count = 551, kStringCount = 573,
                             kKeyedCapacity = 595, kSection5Count = 601, kSection6Count = 607,
                             kSection7Present = 613, kNodeA = 17, kOnNetwork = 411;
}
namespace ext {
inline constexpr std::size_t kNodeB = 3, kOptionFlags = 75, kOptionBlock = 79, kPageBlobs = 83,
                             kBlobFlags = 85, kBitmapCount = 87, kShapeCount = 89,
                             kResourcesPresent = 139, kTagCount = 175, kTagSlot = 191,
                             kList195 = 195, kList199 = 199, kList203 = 203, kLanguageCount = 228,
                             kSet1Count = 230, kSet2Count = 232, kTailLength = 297,
                             kCodeBlock = 303, kWordList = 307, kTable264 = 311, kBlock124 = 336,
                             kTail = 340, kTagName = 181, kTextString1 = 247, kTextStrings = 9;
}
namespace node {
inline constexpr std::size_t kName = 32, kChildCount = 38, kFlags = 44, kKind = 50;
}
namespace field {
inline constexpr std::size_t kClass = 4, kKind = 6, kList1Count = 30, kList2Count = 40,
                             kList2Numeric = 46, kSubKind = 66, kMode = 95, kFlags = 96,
                             kChildCount = 97, kLabel = 104;
}

}  // namespace kestra::json::records
