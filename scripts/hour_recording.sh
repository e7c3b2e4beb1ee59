#!/usr/bin/env bash
# Writes a recording of the size one hour at the line's full rate makes
# (606 exchanges a second: about 2.2 million readings and 4.4 million frames),
# in the first format every reader must read, for the opening benchmark.
# Usage: scripts/hour_recording.sh FILE [SECONDS]
set -euo pipefail
file="$1"
seconds="${2:-3600}"
[ -e "$file" ] && { echo "$file exists" >&2; exit 1; }
exchanges=$((seconds * 606))

sqlite3 "$file" >/dev/null <<SQL
PRAGMA journal_mode=OFF;
PRAGMA synchronous=OFF;
CREATE TABLE session(key TEXT PRIMARY KEY, value TEXT);
CREATE TABLE traffic(t_us INTEGER NOT NULL, direction TEXT NOT NULL, bytes BLOB NOT NULL);
CREATE TABLE readings(t_us INTEGER NOT NULL, code TEXT NOT NULL, raw INTEGER NOT NULL,
                      value REAL, unit TEXT);
CREATE TABLE events(t_us INTEGER NOT NULL, kind TEXT NOT NULL, text TEXT);
INSERT INTO session VALUES ('schema_version', '1'), ('started', '2026-01-05T08:00:00.000Z'),
    ('program_version', 'benchmark'), ('port', '/dev/ttyUSB0'),
    ('serial_number', '202407154711'), ('firmware', 'AS150 R1.07');
-- The codes the main status tab polls, in turn, as a recording of it holds
-- them; each raw value ramps slowly.
CREATE TEMP TABLE codes(k INTEGER PRIMARY KEY, code TEXT, unit TEXT, scale REAL, base INTEGER);
INSERT INTO codes VALUES (0, 'DSA', 'deg', 0.05859375, 500), (1, 'PSA', 'deg', 0.05859375, 520),
    (2, 'PXV', 'psi', 0.158, 700), (3, 'OAT', 'degC', 0.5, 150), (4, 'IGV', 'V', 0.025, 500),
    (5, 'CES', '%', 1.0, 0), (6, 'MOD', NULL, 1.0, 0), (7, 'DSL', NULL, 1.0, 1),
    (8, 'DSH', NULL, 1.0, 0), (9, 'DSS', NULL, 1.0, 0), (10, 'BAH', NULL, 1.0, 0),
    (11, 'CSR', NULL, 1.0, 0), (12, 'CSS', NULL, 1.0, 0), (13, 'LOL', NULL, 1.0, 1),
    (14, 'RVS', NULL, 1.0, 0), (15, 'PXV', 'psi', 0.158, 700);
CREATE TEMP TABLE ex AS
    WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < $exchanges - 1)
    SELECT i, i * 1650 AS t, code, unit, scale,
        CASE WHEN unit IS NULL THEN base ELSE base + (i / 6000) % 200 END AS raw
    FROM n JOIN codes ON codes.k = i % 16;
BEGIN;
INSERT INTO traffic SELECT t, 'tx', CAST('get ' || code || char(13) AS BLOB) FROM ex;
INSERT INTO traffic SELECT t + 1500, 'rx', CAST(code || ' ' || printf('%05d', raw) || 'x' || char(10) AS BLOB) FROM ex;
INSERT INTO readings SELECT t + 1500, code, raw, raw * scale, unit FROM ex;
INSERT INTO events VALUES (0, 'port_opened', '/dev/ttyUSB0'),
    ($exchanges * 1650, 'port_closed', '/dev/ttyUSB0');
COMMIT;
CREATE INDEX traffic_by_time ON traffic(t_us);
CREATE INDEX readings_by_code ON readings(code, t_us);
CREATE INDEX readings_by_time ON readings(t_us);
CREATE INDEX events_by_time ON events(t_us);
SQL
