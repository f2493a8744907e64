// Growing seasons and humid periods of a year from monthly precipitation against half and
// full PET (water-balance season with F = 0.5), on a model year of twelve 30-day months.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/types.h"

namespace zentrel {

/// Season types of column 1 of the season table.
enum SeasonType : int {
    SeasonNone = 1,          ///< precipitation below half the PET all year
    SeasonDry = 2,           ///< a season without humid period
    SeasonHumid = 3,         ///< a season with a humid period
    SeasonAllYear = 4,       ///< a season all year, never humid
    SeasonHumidAllYear = 5,  ///< humid all year
    SeasonAllYearHumid = 6,  ///< a season all year with humid period(s)
};

/// "Not applicable" in the date and day-number columns of the season table.
inline constexpr float kNoDate = -999.0f;
/// Room of the season table and of the event list.
inline constexpr int kMaxSeasons = 5;
inline constexpr int kMaxEvents = 30;

/// Working state of one analysis. Date codes are d + m / 100 (15.03 = 15 March, 5.1 =
/// 5 October); day numbers are (m - 1) * 30 + d, 1..360.
struct SeasonAnalysis {
    Monthly P{};  ///< precipitation, 1..12, 13 repeats 1
    Monthly E{};  ///< PET, 1..12, 13 repeats 1
    Monthly H{};  ///< half the PET, 1..12, 13 repeats 1
    /// Crossings found, 1..EventCount: "b" season begins, "B" humid begins, "E" humid ends,
    /// "e" season ends; the date as the shortest text of its date code.
    std::array<std::string, kMaxEvents + 1> EventLabels{};
    std::array<std::string, kMaxEvents + 1> EventDates{};
    float EventCount = 0;
    float SeasonCount = 0;
    /// Rows 1..5, columns 1..8: type, season begin, season end, humid begin, humid end (date
    /// codes or -999), day number of the first and second date (or -999), length in days.
    std::array<std::array<float, 9>, kMaxSeasons + 1> SeasonTable{};

    float cell(int row, int column) const { return SeasonTable[size_t(row)][size_t(column)]; }
    float& cell(int row, int column) { return SeasonTable[size_t(row)][size_t(column)]; }
};

/// Prepares the working arrays from P and E (months 1..12; callers clamp them first), finds
/// the crossings and fills the event list, EventCount, SeasonCount and columns 1..5 of the
/// season table. Throws Error when the year has more than five seasons.
void FindSeasonCrossings(SeasonAnalysis& analysis, const Monthly& P, const Monthly& E);

/// Appends the event `label` of a crossing `offset` days after day 15 of `month` (offset
/// 0.5..30.5; a crossing past the month's end lands in the next month, December's in January).
void Adjust(SeasonAnalysis& analysis, std::string_view label, int month, float offset);

/// Fills columns 6, 7 and 8 of `row` from its date codes in columns 2 and 3; a season over
/// the turn of the year gets 365 days added to its length.
void Dates(SeasonAnalysis& analysis, int row);

/// day + 30 (month - 1), rounded to the nearest integer (halves to even), so a month of
/// 2.9999 taken from a date code counts as 3.
int16_t GetNumDay(float month, float day);

/// Completes every row by its type (the -999 columns, day numbers and lengths).
void completeSeasons(SeasonAnalysis& analysis);

/// Orders the rows by length, longest first; equal lengths keep their order.
void sortSeasons(SeasonAnalysis& analysis);

/// The whole analysis of the growing-season export: clamps the monthly Best of Prec and PET
/// (months 1..12), finds the crossings, completes and sorts the rows.
SeasonAnalysis analyseGrowingSeasons(const Monthly& precBest, const Monthly& petBest);

}  // namespace zentrel
