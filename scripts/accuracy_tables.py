#!/usr/bin/env python3
"""Markdown tables of docs/accuracy.md from the JSON reports of scripts/accuracy.sh: one column
per method, so that a new method is one more name on the command line.
Usage: scripts/accuracy_tables.py OUT-DIR RUN METHOD...   (RUN: folds or loo)"""
import json
import sys

CONTINENTS = ["Africa", "Antarctica", "Asia", "Europe", "North America", "Oceania", "South America"]


def main():
    out, run, methods = sys.argv[1], sys.argv[2], sys.argv[3:]
    reports = {m: json.load(open(f"{out}/{run}-{m}.json")) for m in methods}
    variables = [v["variable"] for v in reports[methods[0]]["variables"]]
    byvar = {m: {v["variable"]: v for v in r["variables"]} for m, r in reports.items()}
    digits = lambda var: 3 if var == "Sun" else 2
    names = [m.capitalize() for m in methods]

    print("Monthly MAE / RMSE:\n")
    print("| Variable | " + " | ".join(names) + " |")
    print("|---" * (len(methods) + 1) + "|")
    for var in variables:
        cells = [f"{byvar[m][var]['monthly']['mae']:.{digits(var)}f} / {byvar[m][var]['monthly']['rmse']:.{digits(var)}f}"
                 for m in methods]
        print(f"| {var} | " + " | ".join(cells) + " |")

    print("\nMonthly MAE by continent:\n")
    print("| Variable | Continent | " + " | ".join(names) + " |")
    print("|---" * (len(methods) + 2) + "|")
    for var in variables:
        for continent in CONTINENTS:
            cells = []
            for m in methods:
                c = byvar[m][var]["continents"].get(continent)
                cells.append(f"{c['monthly']['mae']:.{digits(var)}f}" if c and c["monthly"]["n"] else "-")
            print(f"| {var} | {continent} | " + " | ".join(cells) + " |")


if __name__ == "__main__":
    main()
