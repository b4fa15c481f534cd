#!/usr/bin/env bash
# The cross-products SQL run by DuckDB over a generated CSV, turned into a
# batch file and analysed, must give the least-squares coefficients of the
# batch tool's own streaming reader of the same CSV to 6 significant digits.
# DuckDB comes from npm (@duckdb/node-api) into a folder of the build tree.
# Skipped (exit 77) only when npm cannot reach its registry.
# Usage: duckdb_cross_products.sh TOLVANE_BATCH SOURCE_DIR NPM_DIR
set -euo pipefail
batch=$1 root=$2 npmdir=$3
command -v node >/dev/null || { echo "FAIL: node is missing (scripts/bootstrap installs it)"; exit 1; }
command -v npm >/dev/null || { echo "FAIL: npm is missing (scripts/bootstrap installs it)"; exit 1; }
if [ ! -d "$npmdir/node_modules/@duckdb/node-api" ]; then
  if ! npm ping >/dev/null 2>&1; then
    echo "SKIP: npm cannot reach its registry, so DuckDB (@duckdb/node-api) cannot be installed"
    exit 77
  fi
  mkdir -p "$npmdir"
  (cd "$npmdir" && npm install --no-audit --no-fund --silent @duckdb/node-api@1.5.6-r.1)
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# 3000 rows, four predictors (two names longer than 8 characters), a few
# missing values that both sides leave out.
python3 - <<'PY'
import random
r = random.Random(11)
with open('data.csv', 'w') as f:
    f.write('feed_rate,feed_temp,"press, kPa",flow,yield\n')
    for k in range(3000):
        a, b, c, d = r.gauss(5, 2), r.gauss(-3, 1), r.gauss(1, 0.5), r.gauss(0, 3)
        y = 1.5 * a - 2 * b + 0.8 * c + 0.3 * d + r.gauss(0, 1)
        row = ['%.10g' % v for v in (a, b + 0.3 * a, c, d, y)]
        if k % 701 == 3:
            row[k % 5] = 'NA'
        f.write(','.join(row) + '\n')
PY
# The batch tool lists predictors sorted by name; the batch file keeps its
# order, so the SQL names them in that order.
names=(feed_rate feed_temp flow "press, kPa" yield)
"$root/scripts/cross-products" sql --from "read_csv('data.csv', nullstr = ['', 'NA', 'NaN', '.'])" \
  "${names[@]}" > sums.sql
NODE_PATH="$npmdir/node_modules" node "$root/scripts/duckdb-query.cjs" sums.sql > result.csv
"$root/scripts/cross-products" ayq --out sql.ayq "${names[@]}" < result.csv

"$batch" data.csv --out csv --scale center --traces-csv csv_traces > /dev/null
"$batch" sql.ayq --out sql --scale center --traces-csv sql_traces > /dev/null

python3 - <<'PY'
import sys
def coefficients(path):
    with open(path) as f:
        lines = f.read().splitlines()
    return [float(v) for v in lines[1].split(',')[1:]]
a = coefficients('csv_traces/path1_cyq.csv')
b = coefficients('sql_traces/path1_cyq.csv')
print('streaming reader:', a)
print('DuckDB SQL      :', b)
bad = [i for i, (x, y) in enumerate(zip(a, b)) if abs(x - y) > 5e-6 * abs(x)]
if len(a) != 4 or len(b) != 4 or bad:
    sys.exit('FAIL: coefficients differ beyond 6 significant digits: %s' % bad)
print('PASS: coefficients agree to 6 significant digits')
PY
