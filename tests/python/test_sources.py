# Where each neighbour comes from, in the neighbour table: from the data folder's station table,
# None where the folder keeps none.
import zentrel
from conftest import run_cli

MONTHS = ",".join(str(m) for m in range(1, 13))
TABLE = (
    "id,name,country,lat,lon,alt,variable,jan,feb,mar,apr,may,jun,jul,aug,sep,oct,nov,dec,"
    "years_min,years_max,source,period,note\n"
    f"A1,Alpha,Italy,45.1,10.1,100,Temp,{MONTHS},28,30,WMO,1991-2020,\n"
    f"A2,Beta,Italy,45.3,9.8,200,Temp,{MONTHS},,,CLIMAT,2003-2021,adjusted to 1991-2020\n"
)


def imported(tmp_path, table):
    (tmp_path / "normals.csv").write_text(table)
    code, _, err = run_cli("data", "import-csv", "--in", tmp_path / "normals.csv", "--out", tmp_path / "db")
    assert code == 0, err
    return zentrel.Database(str(tmp_path / "db"))


def test_NeighboursCarryTheirSourcePeriodYearsAndNote(tmp_path):
    r = imported(tmp_path, TABLE).estimate(10.0, 45.0, 150.0, var="Temp")
    got = {n["name"]: (n["source"], n["period"], n["years_min"], n["years_max"], n["note"]) for n in r.neighbour_list}
    assert got == {"Alpha": ("WMO", "1991-2020", 28, 30, None),
                   "Beta": ("CLIMAT", "2003-2021", None, None, "adjusted to 1991-2020")}
    assert r.mean["source"] is None


def test_NeighbourTableHasTheSourceColumns(tmp_path):
    import pytest
    pd = pytest.importorskip("pandas")
    table = imported(tmp_path, TABLE).estimate(10.0, 45.0, 150.0, var="Temp").neighbours
    assert isinstance(table, pd.DataFrame)
    assert list(table.columns[-5:]) == ["source", "period", "years_min", "years_max", "note"]
    assert list(table["source"]) == ["WMO", "CLIMAT"]


def test_TableWithoutSourcesGivesNone(tmp_path):
    plain = "".join(line.rsplit(",", 5)[0] + "\n" for line in TABLE.splitlines())
    r = imported(tmp_path, plain).estimate(10.0, 45.0, 150.0, var="Temp")
    assert [(n["source"], n["period"]) for n in r.neighbour_list] == [(None, None), (None, None)]
