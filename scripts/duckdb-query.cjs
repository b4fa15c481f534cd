// Runs one SQL file in DuckDB (through @duckdb/node-api, found on NODE_PATH)
// and prints the result as CSV; the seconds the query took go to stderr.
// Usage: NODE_PATH=DIR/node_modules node scripts/duckdb-query.cjs FILE.sql
const fs = require('fs');
const { DuckDBInstance } = require('@duckdb/node-api');

async function main() {
  const sql = fs.readFileSync(process.argv[2], 'utf8');
  const instance = await DuckDBInstance.create(':memory:');
  const connection = await instance.connect();
  const start = process.hrtime.bigint();
  const reader = await connection.runAndReadAll(sql);
  const seconds = Number(process.hrtime.bigint() - start) / 1e9;
  const names = reader.columnNames();
  const lines = [names.join(',')];
  for (const row of reader.getRows()) {
    // Doubles print with 17 significant digits; counts as integers.
    lines.push(row.map((v) => (typeof v === 'number' ? v.toPrecision(17) : String(v))).join(','));
  }
  process.stdout.write(lines.join('\n') + '\n');
  process.stderr.write(`duckdb seconds ${seconds.toFixed(3)}\n`);
}

main().catch((e) => {
  process.stderr.write(String(e) + '\n');
  process.exit(1);
});
