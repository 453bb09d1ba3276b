-- A records server at schema version 1, as psucal left it: one set per unit, each newer set
-- having replaced the unit's records; sets without a serial kept side by side. Every store is
-- one transaction: the unit's earlier records and set deleted, its records, then its set.
CREATE TABLE psucal_schema (version integer NOT NULL);
INSERT INTO psucal_schema VALUES (1);
CREATE TABLE report ("SN" varchar(16), "MaxV" varchar(4), "MaxC" varchar(5), "TEquipment" varchar(32),
    "AmbientTemp" varchar(3), "TestBy" varchar(24), "TestData" varchar(12), "Pass" varchar(6), "Step" varchar(2),
    "SV" varchar(5), "DV" varchar(6), "OV" varchar(6), "SC" varchar(5), "DC" varchar(6), "OC" varchar(6),
    "Bench" varchar(255), "StoredAt" timestamp DEFAULT (now() AT TIME ZONE 'UTC'));
CREATE INDEX report_sn ON report ("SN");
CREATE TABLE report_set (set_id varchar(36) PRIMARY KEY, sn varchar(16), made_at timestamptz NOT NULL);
CREATE INDEX report_set_sn ON report_set (sn);

BEGIN;
DELETE FROM report WHERE "SN" = 'V1-A';
DELETE FROM report_set WHERE sn = 'V1-A';
INSERT INTO report VALUES
  ('V1-A', '40', '5', 'HP 34401A', '23', 'QA-017', '2026-11-30', 'False', '1', '1.0', '1.01', '1.41', '0.01', '0.011', '0.012', 'bench-2', '2026-11-30 15:00:00.5');
INSERT INTO report_set VALUES ('10000000-0000-4000-8000-000000000000', 'V1-A', '2026-11-30 14:59:59.9+00');
COMMIT;
-- Its retest replaced it.
BEGIN;
DELETE FROM report WHERE "SN" = 'V1-A';
DELETE FROM report_set WHERE sn = 'V1-A';
INSERT INTO report VALUES
  ('V1-A', '40', '5', 'HP 34401A', '23', 'QA-017', '2026-11-30', 'True', '1', '1.0', '1.01', '1.11', '0.01', '0.011', '0.012', 'bench-1', '2026-12-01 09:05:00.123456'),
  ('V1-A', '40', '5', 'HP 34401A', '23', 'QA-017', '2026-11-30', 'True', '2', '2.0', '2.02', '2.12', '0.02', '0.021', '0.022', 'bench-1', '2026-12-01 09:05:00.123456'),
  ('V1-A', '40', '5', 'HP 34401A', '23', 'QA-017', '2026-11-30', 'True', '3', '3.0', '3.03', '3.13', '0.03', '0.031', '0.032', 'bench-1', '2026-12-01 09:05:00.123456');
INSERT INTO report_set VALUES ('10000000-0000-4000-8000-000000000001', 'V1-A', '2026-12-01 09:00:00.250+00');
COMMIT;
BEGIN;
DELETE FROM report WHERE "SN" = 'V1-B';
DELETE FROM report_set WHERE sn = 'V1-B';
INSERT INTO report VALUES
  ('V1-B', '60', '3.3', NULL, NULL, 'Ø''Brien', '2026-12-01', 'False', '1', '6.0', '6.02', '6.21', '0.3', '0.301', '0.33', 'bench-2', '2026-12-01 11:00:00'),
  ('V1-B', '60', '3.3', NULL, NULL, 'Ø''Brien', '2026-12-01', 'False', '2', '12.0', '12.05', '12.3', '0.6', NULL, '0.61', 'bench-2', '2026-12-01 11:00:00');
INSERT INTO report_set VALUES ('10000000-0000-4000-8000-000000000002', 'V1-B', '2026-12-01 10:58:00+00');
COMMIT;
-- Too few spots to keep: the set stayed without records.
BEGIN;
DELETE FROM report WHERE "SN" = 'V1-C';
DELETE FROM report_set WHERE sn = 'V1-C';
INSERT INTO report_set VALUES ('10000000-0000-4000-8000-000000000003', 'V1-C', '2026-12-01 12:00:00+00');
COMMIT;
-- Units whose serial could not be read: the deletes match nothing.
BEGIN;
INSERT INTO report VALUES
  (NULL, '40', '5', 'HP 34401A', '21', 'QA-017', '2026-12-02', 'True', '1', '1.0', '1.0', '1.01', '0.01', '0.01', '0.01', 'bench-1', '2026-12-02 10:01:00'),
  (NULL, '40', '5', 'HP 34401A', '21', 'QA-017', '2026-12-02', 'True', '2', '2.0', '2.0', '2.01', '0.02', '0.02', '0.02', 'bench-1', '2026-12-02 10:01:00'),
  (NULL, '40', '5', 'HP 34401A', '21', 'QA-017', '2026-12-02', 'True', '3', '3.0', '3.0', '3.01', '0.03', '0.03', '0.03', 'bench-1', '2026-12-02 10:01:00');
INSERT INTO report_set VALUES ('a0000000-0000-4000-8000-000000000001', NULL, '2026-12-02 10:00:00+00');
COMMIT;
BEGIN;
INSERT INTO report VALUES
  (NULL, '20', '10', 'HP 34401A', '22', 'QA-020', '2026-12-02', 'False', '1', '2.0', '2.1', '2.3', '1.0', '1.02', '1.1', 'bench-2', '2026-12-02 12:05:00'),
  (NULL, '20', '10', 'HP 34401A', '22', 'QA-020', '2026-12-02', 'False', '2', '4.0', '4.1', '4.3', '2.0', '2.02', '2.1', 'bench-2', '2026-12-02 12:05:00');
INSERT INTO report_set VALUES ('a0000000-0000-4000-8000-000000000002', NULL, '2026-12-02 12:00:00+00');
COMMIT;
-- One more, as a dump and restore left it: its records and its set written apart.
BEGIN;
INSERT INTO report VALUES
  (NULL, '60', '3.3', 'HP 34401A', '22', 'QA-020', '2026-12-02', 'True', '1', '6.0', '6.0', '6.01', '0.3', '0.3', '0.301', 'bench-3', '2026-12-02 13:05:00');
COMMIT;
BEGIN;
INSERT INTO report_set VALUES ('a0000000-0000-4000-8000-000000000003', NULL, '2026-12-02 13:00:00+00');
COMMIT;
