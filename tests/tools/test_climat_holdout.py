# The CLIMAT hold-out pairs a CLIMAT station with the combined table's rows by WMO number only.
import importlib.util
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
module_source = importlib.util.spec_from_file_location("climat_holdout", ROOT / "scripts" / "climat-holdout.py")
climat_holdout = importlib.util.module_from_spec(module_source)
module_source.loader.exec_module(climat_holdout)


def test_national_station_numbers_are_not_taken_for_wmo_numbers():
    assert climat_holdout.wmo_of("71066") == "71066"
    # A Japanese and a German station whose numbers share the digits of Canadian and Romanian
    # synoptic stations.
    assert climat_holdout.wmo_of("JMA-71066") is None
    assert climat_holdout.wmo_of("DWD-15280") is None
    assert climat_holdout.wmo_of("WMO-0-36-9-12345") is None
    assert climat_holdout.wmo_of("1528") is None


def test_pet_rows_are_told_apart_by_the_wind_they_were_computed_with():
    assert climat_holdout.pet_basis("PET with the station's wind from 10 m (assumed) to 2 m") == "own wind"
    assert climat_holdout.pet_basis("PET with the station's wind from 10 m (assumed) to 2 m; inputs adjusted to 1991-2020") == "own wind"
    assert climat_holdout.pet_basis("PET with assumed wind 2 m/s; inputs from WMO and CLIMAT") == "2 m/s"
    assert climat_holdout.pet_basis("") == "2 m/s"
