// Growing seasons: crossings of precipitation with half and full PET between mid-months.
#include "season/growing_season.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "base/picture.h"
#include "error.h"
#include "season/cycle.h"

namespace zentrel {

namespace {

float dateOf(const SeasonAnalysis& a, int event) {
    // The table holds the number read back from the event's text; an empty text reads as 0.
    return std::strtof(a.EventDates[size_t(event)].c_str(), nullptr);
}

void requireRow(int row) {
    if (row > kMaxSeasons)
        throw Error("The growing-season analysis found more than " + std::to_string(kMaxSeasons) +
                    " seasons in one year; the season table holds only " + std::to_string(kMaxSeasons) + ".");
}

/// Rotates events 1..EventCount so that the first one labelled `label` comes first.
void rotateToFirst(SeasonAnalysis& a, const std::string& label) {
    const int count = static_cast<int>(a.EventCount);
    for (int i = 1; i <= count; ++i) {
        if (a.EventLabels[size_t(i)] != label) continue;
        std::rotate(a.EventLabels.begin() + 1, a.EventLabels.begin() + i, a.EventLabels.begin() + 1 + count);
        std::rotate(a.EventDates.begin() + 1, a.EventDates.begin() + i, a.EventDates.begin() + 1 + count);
        return;
    }
}

/// Crossing of the precipitation line p1..p2 with the limit line l1..l2, in days after the
/// middle of the month, plus 0.5.
float crossingOffset(float p1, float p2, float l1, float l2) {
    return (p1 - l1) * 30 / ((l2 - l1) - (p2 - p1)) + 0.5f;
}

/// Splits a date code into its day and month and gives its day number.
float dayNumberOf(float code) {
    const float day = std::floor(code);
    const float month = 100 * code - 100 * std::floor(code);
    return GetNumDay(month, day);
}

}  // namespace

int16_t GetNumDay(float month, float day) {
    return static_cast<int16_t>(std::nearbyint(day + 30 * (month - 1)));
}

void Adjust(SeasonAnalysis& a, std::string_view label, int month, float offset) {
    a.EventCount += 1;
    const int n = static_cast<int>(a.EventCount);
    if (n > kMaxEvents)
        throw Error("The growing-season analysis found more than " + std::to_string(kMaxEvents) +
                    " crossings in one year.");
    float day;
    int m;
    if (offset < 15) {
        day = offset + 15;
        m = month;
    } else {
        day = offset - 15;
        m = month + 1;
    }
    // Only a day of exactly 0 moves to the 1st; a day of 0.7 stays day 0 of its month.
    if (day == 0) day = 1;
    if (m == 13) m = 1;
    a.EventLabels[size_t(n)] = std::string(label);
    a.EventDates[size_t(n)] = shortestFloat(static_cast<float>(std::floor(day) + m / 100.0));
}

void FindSeasonCrossings(SeasonAnalysis& a, const Monthly& P, const Monthly& E) {
    for (size_t m = 1; m <= 12; ++m) {
        a.P[m] = P[m];
        a.E[m] = E[m];
        a.H[m] = 0.5f * E[m];
        // Nudges that keep a month from sitting exactly on a limit line.
        if (a.P[m] == a.E[m]) a.P[m] = a.P[m] + 0.01f;
        if (a.P[m] == a.H[m]) a.H[m] = a.H[m] - 0.01f;
    }
    a.P[13] = a.P[1];
    a.E[13] = a.E[1];
    a.H[13] = a.H[1];
    for (int i = 1; i <= kMaxEvents; ++i) {
        a.EventLabels[size_t(i)].clear();
        a.EventDates[size_t(i)].clear();
    }
    a.EventCount = 0;
    a.SeasonCount = 0;
    for (auto& row : a.SeasonTable) row.fill(0);

    for (int m = 1; m <= 12; ++m) {
        const float p1 = a.P[size_t(m)], p2 = a.P[size_t(m + 1)];
        const float e1 = a.E[size_t(m)], e2 = a.E[size_t(m + 1)];
        const float h1 = a.H[size_t(m)], h2 = a.H[size_t(m + 1)];
        if (p1 < h1 && p2 > h2) {
            a.SeasonCount += 1;
            Adjust(a, "b", m, crossingOffset(p1, p2, h1, h2));
        }
        if (p1 < e1 && p2 > e2) Adjust(a, "B", m, crossingOffset(p1, p2, e1, e2));
        if (p1 > e1 && p2 < e2) Adjust(a, "E", m, crossingOffset(p1, p2, e1, e2));
        if (p1 > h1 && p2 < h2) Adjust(a, "e", m, crossingOffset(p1, p2, h1, h2));
    }

    if (a.EventCount == 0) {
        // Nothing crosses, so June stands for the whole year.
        a.SeasonCount = 1;
        a.cell(1, 1) = SeasonAllYear;
        if (a.P[6] < a.H[6]) a.cell(1, 1) = SeasonNone;
        if (a.P[6] > a.E[6]) a.cell(1, 1) = SeasonHumidAllYear;
        return;
    }

    const int count = static_cast<int>(a.EventCount);
    int humidEvents = 0;
    for (int i = 1; i <= count; ++i)
        if (a.EventLabels[size_t(i)] == "B" || a.EventLabels[size_t(i)] == "E") ++humidEvents;

    if (humidEvents == count) {
        // The season lasts all year; only humid periods come and go.
        rotateToFirst(a, "B");
        a.SeasonCount = a.EventCount / 2;
        for (int k = 1; k <= static_cast<int>(a.SeasonCount); ++k) {
            requireRow(k);
            a.cell(k, 1) = SeasonAllYearHumid;
            a.cell(k, 4) = dateOf(a, 2 * k - 1);
            a.cell(k, 5) = dateOf(a, 2 * k);
        }
        return;
    }

    rotateToFirst(a, "b");
    int row = 0;
    for (int m = 1; m <= 23; ++m) {
        const std::string& label = a.EventLabels[size_t(m)];
        const std::string& next = a.EventLabels[size_t(m + 1)];
        if (label == "b" && next == "B") {
            requireRow(++row);
            a.cell(row, 1) = SeasonHumid;
            a.cell(row, 2) = dateOf(a, m);
            a.cell(row, 4) = dateOf(a, m + 1);
            a.cell(row, 5) = dateOf(a, m + 2);
            a.cell(row, 3) = dateOf(a, m + 3);
        } else if (label == "b" && next == "e") {
            requireRow(++row);
            a.cell(row, 1) = SeasonDry;
            a.cell(row, 2) = dateOf(a, m);
            a.cell(row, 3) = dateOf(a, m + 1);
        }
    }
    requireRow(static_cast<int>(a.SeasonCount));
}

void Dates(SeasonAnalysis& a, int row) {
    a.cell(row, 6) = dayNumberOf(a.cell(row, 2));
    a.cell(row, 7) = dayNumberOf(a.cell(row, 3));
    a.cell(row, 8) = a.cell(row, 7) - a.cell(row, 6) + 1;
    if (a.cell(row, 8) < 0) a.cell(row, 8) = a.cell(row, 8) + 365;
}

void completeSeasons(SeasonAnalysis& a) {
    const int rows = static_cast<int>(a.SeasonCount);
    requireRow(rows);
    for (int k = 1; k <= rows; ++k) {
        switch (static_cast<int>(a.cell(k, 1))) {
            case SeasonNone:
            case SeasonAllYear:
            case SeasonHumidAllYear:
                for (int c = 2; c <= 7; ++c) a.cell(k, c) = kNoDate;
                a.cell(k, 8) = static_cast<int>(a.cell(k, 1)) == SeasonNone ? 0.0f : 365.0f;
                break;
            case SeasonDry:
                a.cell(k, 4) = kNoDate;
                a.cell(k, 5) = kNoDate;
                Dates(a, k);
                break;
            case SeasonHumid:
                Dates(a, k);
                break;
            case SeasonAllYearHumid:
                a.cell(k, 2) = kNoDate;
                a.cell(k, 3) = kNoDate;
                a.cell(k, 6) = dayNumberOf(a.cell(k, 4));
                a.cell(k, 7) = dayNumberOf(a.cell(k, 5));
                a.cell(k, 8) = 365;
                break;
            default:
                break;
        }
    }
}

void sortSeasons(SeasonAnalysis& a) {
    const int rows = static_cast<int>(a.SeasonCount);
    if (rows == 1) return;
    for (int i = 2; i <= rows; ++i)
        for (int j = 1; j <= i - 1; ++j)
            if (a.cell(i, 8) > a.cell(j, 8))
                for (int c = 1; c <= 8; ++c) std::swap(a.cell(i, c), a.cell(j, c));
}

SeasonAnalysis analyseGrowingSeasons(const Monthly& precBest, const Monthly& petBest) {
    Monthly p{}, e{};
    for (size_t m = 1; m <= 12; ++m) {
        p[m] = ClipValue(precBest[m], Prec);
        e[m] = ClipValue(petBest[m], PET);
    }
    SeasonAnalysis a;
    FindSeasonCrossings(a, p, e);
    completeSeasons(a);
    sortSeasons(a);
    return a;
}

}  // namespace zentrel
