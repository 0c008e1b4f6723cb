#pragma once

/// @file
/// @brief The byte layouts shared with the service: region header, table
/// record, AppInfo, SiteInfo, VlString and the parameter value.
///
/// These are a binary contract with another program. Every size and offset
/// is pinned below by static_assert; all fields are little-endian.

#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>

namespace servicelink {

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "the regions are little-endian and the records are read in place");

/// @brief UTF-16 units in every text field.
constexpr std::size_t kTextUnits = 260;

using TextField = char16_t[kTextUnits];

/// @brief The 16 bytes at the start of every region.
struct RegionHeader {
    std::uint64_t generation = 0;   ///< +1 by whichever side rewrote the table
    std::uint32_t count = 0;        ///< records that follow
    std::uint32_t epoch = 0;        ///< instance mark, written by the service only
};

/// @brief One application (payload of the application region).
struct AppInfo {
    std::uint32_t id = 0;
    std::uint8_t isPinned = 0;
    std::uint8_t padding[3] = {};
    std::uint32_t downloadSpeed = 0;
    std::uint32_t uploadSpeed = 0;
    std::uint32_t priority = 4;
    std::uint32_t processClass = 0;
    TextField name = {};
    TextField iconPath = {};
    TextField reservedText = {};   ///< not interpreted; written back unchanged
};

/// @brief One site (payload of the site region).
struct SiteInfo {
    std::uint32_t id = 0;
    std::uint8_t isPinned = 0;
    std::uint8_t padding[3] = {};
    std::uint32_t downloadSpeed = 0;
    std::uint32_t uploadSpeed = 0;
    std::uint32_t priority = 4;
    TextField name = {};
    TextField iconPath = {};
};

/// @brief One text (payload of the string region).
struct VlString {
    TextField text = {};
};

/// @brief One numeric parameter (payload of the parameter region).
struct ParameterValue {
    std::uint32_t value = 0;
};

/// @brief The 16-byte head of every table record.
struct RecordHead {
    std::uint64_t sequence = 0;   ///< change number; only a greater one is taken over
    std::uint32_t mark = 0;       ///< 0 in the region; the unseen mark inside a pull
    std::uint32_t id = 0;         ///< key, unique within the table
};

/// @brief A table record: head followed by the region's payload, padded to 8.
template <typename Payload>
struct TableRecord {
    std::uint64_t sequence = 0;
    std::uint32_t mark = 0;
    std::uint32_t id = 0;
    Payload payload{};
};

using AppRecord = TableRecord<AppInfo>;
using SiteRecord = TableRecord<SiteInfo>;
using ParameterRecord = TableRecord<ParameterValue>;
using StringRecord = TableRecord<VlString>;

// --- The pinned layout. Each assertion guards a byte the service reads. ---

// The header is read and written in place at offset 0 of every region.
static_assert(sizeof(RegionHeader) == 16, "region header is 16 bytes");
static_assert(offsetof(RegionHeader, generation) == 0, "generation at 0");
static_assert(offsetof(RegionHeader, count) == 8, "count at 8");
static_assert(offsetof(RegionHeader, epoch) == 12, "epoch at 12");

// AppInfo: 24 bytes of numbers, then three 520-byte texts.
static_assert(sizeof(AppInfo) == 1584, "AppInfo is 1584 bytes");
static_assert(offsetof(AppInfo, id) == 0, "AppInfo.id at 0");
static_assert(offsetof(AppInfo, isPinned) == 4, "AppInfo.isPinned at 4");
static_assert(offsetof(AppInfo, downloadSpeed) == 8, "3 padding bytes after isPinned");
static_assert(offsetof(AppInfo, uploadSpeed) == 12, "AppInfo.uploadSpeed at 12");
static_assert(offsetof(AppInfo, priority) == 16, "AppInfo.priority at 16");
static_assert(offsetof(AppInfo, processClass) == 20, "AppInfo.processClass at 20");
static_assert(offsetof(AppInfo, name) == 24, "AppInfo.name at 24");
static_assert(offsetof(AppInfo, iconPath) == 544, "AppInfo.iconPath at 544");
static_assert(offsetof(AppInfo, reservedText) == 1064, "AppInfo.reservedText at 1064");

// SiteInfo: like AppInfo without processClass and reservedText.
static_assert(sizeof(SiteInfo) == 1060, "SiteInfo is 1060 bytes");
static_assert(offsetof(SiteInfo, id) == 0, "SiteInfo.id at 0");
static_assert(offsetof(SiteInfo, isPinned) == 4, "SiteInfo.isPinned at 4");
static_assert(offsetof(SiteInfo, downloadSpeed) == 8, "3 padding bytes after isPinned");
static_assert(offsetof(SiteInfo, uploadSpeed) == 12, "SiteInfo.uploadSpeed at 12");
static_assert(offsetof(SiteInfo, priority) == 16, "SiteInfo.priority at 16");
static_assert(offsetof(SiteInfo, name) == 20, "SiteInfo.name at 20");
static_assert(offsetof(SiteInfo, iconPath) == 540, "SiteInfo.iconPath at 540");

static_assert(sizeof(VlString) == 520, "a text is 260 UTF-16 units");
static_assert(sizeof(char16_t) == 2, "UTF-16 units are 2 bytes");
static_assert(sizeof(ParameterValue) == 4, "a parameter value is a u32");

// The record head is common to all four tables.
static_assert(sizeof(RecordHead) == 16, "record head is 16 bytes");
static_assert(offsetof(AppRecord, sequence) == 0, "sequence at 0");
static_assert(offsetof(AppRecord, mark) == 8, "mark at 8");
static_assert(offsetof(AppRecord, id) == 12, "id at 12");
static_assert(offsetof(AppRecord, payload) == 16, "payload at 16");
static_assert(offsetof(SiteRecord, payload) == 16, "payload at 16");
static_assert(offsetof(ParameterRecord, payload) == 16, "parameter value right after the head");
static_assert(offsetof(StringRecord, payload) == 16, "payload at 16");

// Record sizes set the stride of each table; padding is alignment to 8.
static_assert(sizeof(AppRecord) == 1600, "application record stride");
static_assert(sizeof(SiteRecord) == 1080, "site record stride: 4 padding bytes");
static_assert(sizeof(ParameterRecord) == 24, "parameter record stride: 4 padding bytes");
static_assert(sizeof(StringRecord) == 536, "string record stride");

// Records are copied with memcpy to and from the regions.
static_assert(std::is_trivially_copyable<RegionHeader>::value, "copied bytewise");
static_assert(std::is_trivially_copyable<AppRecord>::value, "copied bytewise");
static_assert(std::is_trivially_copyable<SiteRecord>::value, "copied bytewise");
static_assert(std::is_trivially_copyable<ParameterRecord>::value, "copied bytewise");
static_assert(std::is_trivially_copyable<StringRecord>::value, "copied bytewise");
static_assert(std::is_standard_layout<AppRecord>::value, "offsetof is meaningful");
static_assert(std::is_standard_layout<SiteRecord>::value, "offsetof is meaningful");

/// @brief The text of a field: its units up to the first NUL, at most 260.
std::u16string textFromField(const TextField& field);

/// @brief Stores @p text in @p field: at most 260 units, NUL after a shorter
/// text, the rest of the field zero. Returns false when @p text had to be cut.
bool textToField(TextField& field, const std::u16string& text);

} // namespace servicelink
