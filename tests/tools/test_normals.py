# Tests of the station table derivation (tools/normals): readers, conversions, merge, period and quality rules.
import math

import pytest

from tools.normals import climat, dwd, jma_world, merge, neighbours, period, qc, wind, wmo
from tools.normals.model import Normal, Station
from tools.normals.penman import monthly_pet, wind_at_2m
from tools.normals.sunshine import sunshine_fraction
from tools.normals.table import decimal
from tools.normals.terrain import COLUMNS, ROWS, SEA, Terrain

WMO_HEADER = ("Elem,Rgn,ID,      WIGOS_ID        ,Latitude,Longitude,Elevation,   Country,   Station   ,"
              " Jan  , Feb   , Mar   , Apr   , May   , Jun   , Jul   , Aug   , Sep   , Oct   , Nov   , Dec   , Annual")


def wmo_row(ident="00060620", wigos="0-20000-0-60620", lat="27.837", lon="-0.194", values=None):
    values = values or ["13.1"] * 12
    return f"005,1,{ident},{wigos}  ,  {lat},  {lon},  279.2,Algeria   ,Adrar   ," + ",".join(values) + ",  25.5"


def write_wmo(folder, tavg_rows, tavg_min24_rows=(), tsun_rows=()):
    for element in wmo.ELEMENTS:
        rows = {"TAVG": tavg_rows, "TSUN": tsun_rows}.get(element, ())
        (folder / f"wmo_normals_9120_{element}.csv").write_text("\n".join((WMO_HEADER,) + tuple(rows)) + "\n")
        min24 = tavg_min24_rows if element == "TAVG" else ()
        (folder / f"wmo_normals_9120_{element}_min24.csv").write_text("\n".join((WMO_HEADER,) + tuple(min24)) + "\n")


def station(key, lon, lat, alt, source, wmo_number=None, **normals):
    s = Station(key, key, "", lat, lon, alt, source, wmo=wmo_number)
    for v, values in normals.items():
        s.normals[v] = Normal(values, source, "2003-2021" if source == "CLIMAT" else "1991-2020")
    return s


class TestMalformedLinesNameFileLineAndField:
    def test_wmo_latitude_out_of_range(self, tmp_path):
        write_wmo(tmp_path, [wmo_row(), wmo_row(ident="00060560", wigos="0-20000-0-60560", lat="-98.600")])
        stations, problems, _ = wmo.read_composites(tmp_path)
        assert len(stations) == 1
        assert str(problems[0]) == (f"{tmp_path / 'wmo_normals_9120_TAVG.csv'}, line 3, field 5 (Latitude): "
                                    '"-98.600" is not a latitude in -90..90.')

    def test_wmo_month_not_a_number(self, tmp_path):
        write_wmo(tmp_path, [wmo_row(values=["13.1"] * 3 + ["x"] + ["13.1"] * 8)])
        _, problems, _ = wmo.read_composites(tmp_path)
        assert str(problems[0]).endswith('line 2, field 13 (Apr): "x" is not a number.')

    def test_wmo_wrong_field_count(self, tmp_path):
        write_wmo(tmp_path, [wmo_row() + ",1"])
        _, problems, _ = wmo.read_composites(tmp_path)
        assert str(problems[0]).endswith("line 2: 23 fields, expected 22.")

    def test_dwd_month_not_a_number(self, tmp_path):
        (tmp_path / "Niederschlag_1991-2020_Stationsliste.txt").write_text(
            "Stations_id;Stationsname;geogr. Breite;geogr. Laenge;Stationshoehe;Bundesland;\n"
            "          1;Aach        ;   47.841299;    8.849299;          478;Baden-Württemberg ;\n")
        (tmp_path / "Niederschlag_1991-2020.txt").write_text(
            "Stations_id;Bezugszeitraum;Datenquelle;Jan.;Feb.;März;Apr.;Mai;Jun.;Jul.;Aug.;Sept.;Okt.;Nov.;Dez.;Jahr;\n"
            "         1;1991-2020;        46;" + "      49.4;" * 2 + "   4,9;" + "      49.4;" * 9 + "   592.8;\n")
        stations, problems, _ = dwd.read_dwd(tmp_path)
        assert stations == []
        assert str(problems[0]).endswith('Niederschlag_1991-2020.txt, line 2, field 6 (März): "4,9" is not a number.')

    def test_jma_world_negative_precipitation(self, tmp_path):
        path = tmp_path / "climate_world.csv"
        path.write_text(",".join(f'"{f}"' for f in jma_world.FIELDS) + "\n"
                        "1001,70.93,-8.67,10," + ",".join(["1"] * 12) + "," + ",".join(["5"] * 11 + ["-5"]) + "\n")
        _, problems, _ = jma_world.read_jma_world(path, "1991-2020")
        assert str(problems[0]).endswith('line 2, field 28 (p12): "-5" is a negative precipitation.')

    def test_wind_doubled_hemisphere(self, tmp_path):
        path = tmp_path / "wind.csv"
        path.write_text(",".join(wind.FIELDS) + "\n"
                        "a/Sudan/CSV/X_62640.csv,62640,15|36|N|N,033|20|00|E,300,Wind_Speed,m/s,Mean,"
                        + ",".join(["3"] * 12) + ",3\n")
        _, problems, _ = wind.read_wind(path)
        assert str(problems[0]).endswith('line 2, field 3 (lat_dms): "15|36|N|N" is not degrees|minutes|seconds|N/S.')


class TestMissingValues:
    def test_wmo_missing_month_leaves_the_variable_out_not_zero(self, tmp_path):
        write_wmo(tmp_path, [wmo_row(values=["13.1"] * 11 + ["-99.9"])])
        stations, problems, incomplete = wmo.read_composites(tmp_path)
        assert problems == [] and "Temp" not in stations["60620"].normals
        assert incomplete[0][1:] == ("Temp", "1 of 12 months missing in the WMO composite")

    def test_wmo_min24_marks_at_least_24_years(self, tmp_path):
        write_wmo(tmp_path, [wmo_row(), wmo_row("00060560", "0-20000-0-60560", "32.752")], [wmo_row()])
        stations, _, _ = wmo.read_composites(tmp_path)
        assert stations["60620"].normals["Temp"].years_min == 24
        assert stations["60560"].normals["Temp"].years_min is None

    def test_wmo_number_only_with_the_wmo_wigos_series(self, tmp_path):
        write_wmo(tmp_path, [wmo_row(wigos="0-578-0-60620"), wmo_row("99999999", "", "32.752")])
        stations, _, _ = wmo.read_composites(tmp_path)
        assert [s.wmo for s in stations.values()] == [None, None]


class TestConversions:
    @pytest.mark.parametrize("text,hemispheres,expected", [
        ("27|50|14|N", "NS", 27 + 50 / 60 + 14 / 3600),
        ("000|11|37|W", "EW", -(11 / 60 + 37 / 3600)),
        ("19|32|N     ", "NS", 19 + 32 / 60),
        ("45|30|00S", "NS", -45.5),
        ("76|43|60|N", "NS", 76 + 44 / 60),
    ])
    def test_dms_forms(self, text, hemispheres, expected):
        assert wind.dms_degrees(text, hemispheres) == pytest.approx(expected, abs=1e-9)

    @pytest.mark.parametrize("text", ["25|03| |N", "33|57|EE", "10|60|00|N", "91|00|00|N", "10|00|00|E"])
    def test_dms_refused(self, text):
        with pytest.raises(ValueError):
            wind.dms_degrees(text, "NS")

    @pytest.mark.parametrize("value,unit,expected", [
        (3.0, "m/s", 3.0), (3.0, "m/sec   ", 3.0), (36.0, "km/h", 10.0), (36.0, "Km/h", 10.0), (10.0, "knots", 5.14444)])
    def test_wind_units_to_metres_per_second(self, value, unit, expected):
        assert wind.to_metres_per_second(value, unit) == pytest.approx(expected, abs=1e-5)

    def test_wind_at_2m_from_10m_is_fao_factor(self):
        assert wind_at_2m(1.0, 10.0) == pytest.approx(0.748, abs=5e-4)

    def test_sunshine_fraction_at_the_equator(self):
        # 12 h days: January 31 x 12 = 372 h; February 28.27 days over 1991-2020 (8 leap years).
        assert sunshine_fraction(186.0, 0.0, 1) == pytest.approx(0.5, abs=1e-9)
        assert sunshine_fraction(0.5 * 12 * (22 * 28 + 8 * 29) / 30, 0.0, 2) == pytest.approx(0.5, abs=1e-9)

    def test_sunshine_beyond_daylight_within_tolerance_is_one_beyond_refused(self):
        assert sunshine_fraction(372 * 1.02 + 0.9, 0.0, 1) == 1.0
        assert sunshine_fraction(372 * 1.02 + 1.1, 0.0, 1) is None

    def test_sunshine_in_the_polar_night_is_zero(self):
        assert sunshine_fraction(0.0, 80.0, 12) == 0.0

    def test_numbers_have_at_most_two_decimals_and_no_negative_zero(self):
        assert [decimal(x) for x in (1.005, -0.004, 2.0, 12.345, None)] == ["1", "0", "2", "12.35", ""]


class TestOneStationPerPlace:
    def test_same_number_is_one_station_and_wmo_wins(self):
        w = station("12345", 10.0, 50.0, 100, "WMO", "12345", Temp=[1.0] * 12)
        c = station("12345", 10.02, 50.0, 100, "CLIMAT", "12345", Temp=[2.0] * 12, Sun=[0.5] * 12)
        (group,) = merge.places([w, c])
        head, chosen, dropped = merge.merge_place(group)
        assert head is w
        assert chosen["Temp"][1].source == "WMO" and chosen["Sun"][1].source == "CLIMAT"
        assert [(d[0].source, d[1]) for d in dropped] == [("CLIMAT", "Temp")]

    def test_same_number_far_apart_loses_the_number(self):
        near = station("65344", 2.383, 6.35, 7, "WMO", "65344", Temp=[27.0] * 12)
        far = station("x", 0.82, 10.85, 140, "WMO", "65344", Temp=[28.0] * 12)
        released = merge.release_conflicting_numbers([near, far], {"65344": (2.38, 6.35)})
        assert released == [far] and near.wmo == "65344" and far.wmo is None
        assert len(merge.places([near, far])) == 2

    @pytest.mark.parametrize("km,metres,places", [(0.9, 40, 1), (1.1, 40, 2), (0.9, 60, 2)])
    def test_different_numbers_close_together(self, km, metres, places):
        a = station("DWD-1", 10.0, 50.0, 100, "DWD", Prec=[50.0] * 12)
        b = station("DWD-2", 10.0, 50.0 + km / 111.19, 100 + metres, "DWD", Prec=[60.0] * 12)
        assert len(merge.places([a, b])) == places

    def test_precedence_more_years_within_a_source(self):
        a = station("a", 10.0, 50.0, 100, "WMO", Temp=[1.0] * 12)
        b = station("b", 10.0, 50.001, 100, "WMO", Temp=[2.0] * 12)
        b.normals["Temp"].years_min = 24
        _, chosen, _ = merge.merge_place([a, b])
        assert chosen["Temp"][0] is b


    def test_a_station_without_height_takes_the_station_lists(self, tmp_path):
        listing = tmp_path / "stations.txt"
        listing.write_text("WMO-Station ID; StationName; Latitude; Longitude; Height; Country\n"
                           "63450; Addis Abeba; 08.98; 38.80; 2354; Ethiopia\n"
                           "63451; Nowhere; 09.50; 38.00; ; Ethiopia\n")
        listed, problems = climat.read_station_list(listing)
        assert problems == [] and listed["63450"][4] == 2354 and listed["63451"][4] is None
        jma = station("63450", 38.75, 9.03, None, "JMA world", "63450", Prec=[100.0] * 12)
        assert merge.listed_altitude(jma, listed) == 2354
        unheard = station("63451", 38.0, 9.5, None, "JMA world", "63451", Prec=[100.0] * 12)
        assert merge.listed_altitude(unheard, listed) is None
        # A station's own height is never replaced; a station without number takes none.
        own = station("63450", 38.75, 9.03, 2360, "WMO", "63450", Prec=[100.0] * 12)
        nameless = station("JMA-9", 38.8, 8.98, None, "JMA world", None, Prec=[100.0] * 12)
        assert merge.listed_altitude(own, listed) is None and merge.listed_altitude(nameless, listed) is None


class TestPeriodOffsets:
    def pairs(self, n, lon=10.0, lat=50.0, variable="Temp", delta=0.3):
        base = [10.0] * 12
        if variable in ("Prec", "Vap"):
            return [(variable, lon, lat, [b * delta for b in base], base) for _ in range(n)]
        return [(variable, lon, lat, [b + delta for b in base], base) for _ in range(n)]

    def test_region_with_enough_pairs_uses_its_own(self):
        o = period.Offsets(self.pairs(period.MIN_PAIRS) + self.pairs(period.MIN_PAIRS, lon=100.0, delta=-1.0))
        level, offsets = o.offsets("Temp", 12.0, 52.0)
        assert level == "45N-90N Europe-Africa" and offsets == [pytest.approx(0.3)] * 12

    def test_region_with_too_few_pairs_falls_back_to_its_band(self):
        o = period.Offsets(self.pairs(period.MIN_PAIRS - 1) + self.pairs(period.MIN_PAIRS, lon=100.0, delta=-1.0))
        level, _ = o.offsets("Temp", 12.0, 52.0)
        assert level == "45N-90N"

    def test_world_too_few_gives_no_offsets(self):
        assert period.Offsets(self.pairs(period.MIN_PAIRS - 1)).offsets("Temp", 12.0, 52.0) == (None, None)

    def test_precipitation_is_multiplied_temperatures_added(self):
        o = period.Offsets(self.pairs(period.MIN_PAIRS, variable="Prec", delta=1.1))
        _, factors = o.offsets("Prec", 10.0, 50.0)
        assert period.adjust("Prec", [100.0] * 12, factors) == [pytest.approx(110.0)] * 12
        assert period.adjust("Temp", [1.0] * 12, [0.3] * 12) == [pytest.approx(1.3)] * 12

    def test_vapour_pressure_moves_in_proportion_so_the_polar_air_stays_dry(self):
        # Humid stations 3 % moister in the later period: a plateau at 0.02 hPa moves by 3 %
        # of itself, not by the 0.3 hPa the humid stations moved.
        o = period.Offsets(self.pairs(period.MIN_PAIRS, variable="Vap", delta=1.03))
        _, factors = o.offsets("Vap", 10.0, 50.0)
        assert period.adjust("Vap", [0.02, 10.0] + [1.0] * 10, factors)[:2] == [pytest.approx(0.0206), pytest.approx(10.3)]

    def test_pairs_of_different_measurements_are_left_out(self):
        o = period.Offsets(self.pairs(period.MIN_PAIRS) + self.pairs(5, delta=2.5))
        assert o.left_out == {"Temp": 5} and o.pairs("Temp", "World") == period.MIN_PAIRS

    def test_sun_stays_within_zero_and_one(self):
        assert period.adjust("Sun", [0.98, 0.02] + [0.5] * 10, [0.05, -0.05] + [0.0] * 10)[:2] == [1.0, 0.0]


class TestPhysics:
    def test_tmax_below_tmin(self):
        tn = [5.0] * 12
        assert qc.physics({"Tmax": [5.0] * 12, "Tmin": tn}) == []
        bad = qc.physics({"Tmax": [5.0] * 11 + [4.99], "Tmin": tn})
        assert {v for v, _ in bad} == {"Tmax", "Tmin"} and "month 12" in bad[0][1]

    def test_vapour_pressure_above_saturation_at_tmax(self):
        limit = qc.VAP_FACTOR * qc.saturation_over_water(20.0) + qc.VAP_OFFSET
        t = {"Tmax": [20.0] * 12, "Tmin": [10.0] * 12}
        assert qc.physics({**t, "Vap": [limit - 0.01] * 12}) == []
        assert [v for v, _ in qc.physics({**t, "Vap": [limit + 0.01] * 12})] == ["Vap"]

    def test_negative_amount(self):
        assert qc.physics({"Prec": [0.0] * 12}) == []
        assert qc.physics({"Prec": [0.0] * 11 + [-0.1]})[0][1] == "negative amount -0.1 in month 12"

    def test_daily_range_of_extremes(self):
        assert qc.physics({"Tmax": [20.0] * 12, "Tmin": [0.0] * 12}) == []
        assert len(qc.physics({"Tmax": [20.1] * 12, "Tmin": [0.0] * 12})) == 2


class TestRelief:
    def terrain(self, land):
        """All sea but the points of land {(column, row): altitude m}."""
        data = bytearray([SEA]) * (COLUMNS * ROWS)
        for (c, r), alt in land.items():
            data[r * COLUMNS + c] = (alt + 40) // 20
        return Terrain(bytes(data))

    def test_cell_of_a_point(self):
        # Byte i of row r stands for lon (i+1)/12-180, lat 90-(r+1)/12.
        assert Terrain.cell((100 + 1) / 12 - 180, 90 - (50 + 1) / 12) == (100, 50)

    def test_at_sea_beyond_two_points(self):
        lon, lat = (100 + 1) / 12 - 180, 90 - (50 + 1) / 12
        assert qc.relief(self.terrain({(102, 50): 0}), lon, lat, None) is None
        assert qc.relief(self.terrain({(103, 50): 0}), lon, lat, None).startswith("at sea")

    def test_altitude_off_the_relief_around(self):
        lon, lat = (100 + 1) / 12 - 180, 90 - (50 + 1) / 12
        t = self.terrain({(c, r): 1000 for c in range(99, 102) for r in range(49, 52)})
        assert qc.relief(t, lon, lat, 1000 + qc.RELIEF_MARGIN) is None
        assert "above the relief" in qc.relief(t, lon, lat, 1000 + qc.RELIEF_MARGIN + 1)
        assert "below the relief" in qc.relief(t, lon, lat, 1000 - qc.RELIEF_MARGIN - 1)


class TestNeighbours:
    def test_additive_limit(self):
        assert neighbours.far_off("Temp", 15.0, 15.0 + neighbours.ADDITIVE_LIMITS["Temp"]) is None
        assert neighbours.far_off("Temp", 15.0, 15.01 + neighbours.ADDITIVE_LIMITS["Temp"]) is not None

    def test_precipitation_ratio(self):
        assert neighbours.far_off("Prec", 300.0, 100.0) is None
        assert neighbours.far_off("Prec", 301.0, 100.0) is not None
        assert neighbours.far_off("Prec", 33.0, 100.0) is not None

    def test_flags_found_by_position(self, tmp_path):
        path = tmp_path / "residuals.csv"
        path.write_text("variable,station,country,lon,lat,alt,continent,fold,month,observed,estimated,stderr,z\n"
                        'Temp,"A","X",10.1234,50.5678,100,Europe,1,13,20,10,1,1\n'
                        'Temp,"B","X",11,51,100,Europe,2,13,10,10,1,1\n')
        flags = neighbours.read_flags(path, {("Temp", 10.12, 50.57): [("A1", 10.12345, 50.56781)],
                                             ("Temp", 11.0, 51.0): [("B1", 11.0, 51.0)]})
        assert list(flags) == [("A1", "Temp")]

    def test_only_a_station_with_another_near_it_can_be_contradicted(self):
        # Walvis Bay 255 km from the nearest station of its variable; two stations 45 km apart;
        # the same at 55 km (beyond CONTRADICT_KM); one point twice at one place.
        km = 1 / 111.19
        points = [(14.65, -22.98), (17.1, -22.57), (10.0, 50.0), (10.0, 50.0 + 45 * km), (30.0, 0.0),
                  (30.0, 55 * km), (0.0, 0.0), (0.0, 0.0)]
        assert neighbours.contradicted(points) == {2, 3, 6, 7}

    def test_a_lone_vapour_pressure_far_off_is_left_out_other_lone_normals_kept(self):
        assert not neighbours.kept_when_alone("Vap")
        assert all(neighbours.kept_when_alone(v) for v in ("Temp", "Tmax", "Tmin", "Prec", "Wind", "Sun"))


def test_distance_of_a_degree_of_latitude():
    assert merge.distance_km(0, 0, 0, 1) == pytest.approx(6370.997 * math.pi / 180)


def test_pet_agrees_with_the_cpp_importer_at_tromso():
    # Station 01026 of data/climat-normals.csv: its inputs and the PET the C++ importer wrote (1 decimal).
    tmax = [-1.04, -1.03, 0.86, 4.68, 9.52, 12.84, 16.72, 15.19, 11.31, 5.76, 2.69, 0.89]
    tmin = [-5.26, -5.51, -4.21, -1.18, 2.79, 6.16, 9.24, 8.49, 5.61, 1.42, -1.33, -3.37]
    vap = [3.94, 3.92, 4.05, 4.93, 6.23, 8.34, 10.81, 10.58, 8.6, 6.45, 5.26, 4.53]
    sun = [0.07, 0.209, 0.308, 0.366, 0.359, 0.312, 0.334, 0.326, 0.265, 0.239, 0.09, 0]
    expected = [6, 4.4, 15.2, 34, 65.3, 77.7, 85.9, 60.7, 32, 11.6, 7.2, 8.6]
    assert monthly_pet(69.65, 114, tmax, tmin, vap, sun, [2.0] * 12) == pytest.approx(expected, abs=0.051)
