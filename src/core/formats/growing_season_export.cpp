// Growing-season file: the season table of the location as comma-separated lines.
#include "formats/growing_season_export.h"

#include "base/picture.h"
#include "season/growing_season.h"

namespace zentrel {

namespace {

/// A day.month field: the date code with two decimals, or the text -999.
std::string dateField(float code) { return code == kNoDate ? "-999" : formatPicture(code, "##.00"); }

}  // namespace

std::string growingSeasonHeader() {
    std::string out;
    addLine(out, " Length of growing season with F= .5");
    addLine(out, R"(,"Lon","Lat","Alt","SeasTot","Nr","Type","LGS","BegSd.m","begSJul","EndSd.m","BegHd.m","EndHd.m")");
    return out;
}

std::string growingSeasonLines(const VariableResult& prec, const VariableResult& pet, const Location& location) {
    const SeasonAnalysis a = analyseGrowingSeasons(prec.result.Best, pet.result.Best);
    // The picture formatter always writes "." as the decimal point, so the coordinates need
    // no separator fix-up here.
    const std::string place = "\"" + location.Name + "\"," + formatPicture(location.Lon, "###.00") + "," +
                              formatPicture(location.Lat, "####.00") + "," + formatPicture(location.Alt, "####.0");
    std::string out;
    for (int k = 1; k <= static_cast<int>(a.SeasonCount); ++k) {
        addLine(out, place + "," + shortestFloat(a.SeasonCount) + "," + std::to_string(k) + "," +
                         shortestFloat(a.cell(k, 1)) + "," + shortestFloat(a.cell(k, 8)) + "," +
                         dateField(a.cell(k, 2)) + "," + shortestFloat(a.cell(k, 6)) + "," +
                         dateField(a.cell(k, 3)) + "," + dateField(a.cell(k, 4)) + "," + dateField(a.cell(k, 5)));
    }
    return toWindows1252(out);
}

std::string formatGrowingSeasons(const VariableResults& results, const Location& location, bool header) {
    return (header ? growingSeasonHeader() : std::string()) + growingSeasonLines(results[Prec], results[PET], location);
}

}  // namespace zentrel
