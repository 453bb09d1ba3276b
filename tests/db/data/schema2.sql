-- A records server at schema version 2, as psucal left it: every set a run, retests kept.
CREATE TABLE psucal_schema (version integer NOT NULL);
INSERT INTO psucal_schema VALUES (2);
CREATE TABLE run (id bigserial PRIMARY KEY, set_id varchar(36) NOT NULL UNIQUE, sn varchar(16), bench varchar(255),
    made_at timestamptz NOT NULL, verdict varchar(4), model varchar(16));
CREATE TABLE report ("SN" varchar(16), "MaxV" varchar(4), "MaxC" varchar(5), "TEquipment" varchar(32),
    "AmbientTemp" varchar(3), "TestBy" varchar(24), "TestData" varchar(12), "Pass" varchar(6), "Step" varchar(2),
    "SV" varchar(5), "DV" varchar(6), "OV" varchar(6), "SC" varchar(5), "DC" varchar(6), "OC" varchar(6),
    "Bench" varchar(255), "StoredAt" timestamp DEFAULT (now() AT TIME ZONE 'UTC'), run_id bigint REFERENCES run (id));
CREATE INDEX report_sn ON report ("SN");
CREATE INDEX run_sn ON run (sn, made_at);
CREATE INDEX run_made_at ON run (made_at);
CREATE INDEX run_model ON run (model, made_at);
CREATE INDEX report_run ON report (run_id);

-- Each store: its run, then the run's records in one statement.
INSERT INTO run VALUES
  (1, '20000000-0000-4000-8000-000000000001', 'V2-A', 'bench-1', '2026-12-03 08:00:00+00', 'FAIL', '40V/5A'),
  (2, '20000000-0000-4000-8000-000000000002', 'V2-B', 'bench-1', '2026-12-03 08:30:00+00', 'PASS', '20V/10A'),
  (3, '20000000-0000-4000-8000-000000000003', 'V2-A', 'bench-2', '2026-12-03 09:00:00+00', 'PASS', '40V/5A'),
  (4, 'a0000000-0000-4000-8000-000000000001', NULL, 'bench-2', '2026-12-03 09:30:00+00', 'PASS', '40V/5A'),
  (5, '20000000-0000-4000-8000-000000000005', 'V2-C', 'bench-1', '2026-12-03 10:00:00+00', NULL, NULL);
SELECT setval('run_id_seq', 5);
INSERT INTO report VALUES
  ('V2-A', '40', '5', 'HP 34401A', '23', 'QA-017', '2026-12-03', 'False', '1', '1.0', '1.01', '1.31', '0.01', '0.011', '0.012', 'bench-1', '2026-12-03 08:00:01', 1),
  ('V2-A', '40', '5', 'HP 34401A', '23', 'QA-017', '2026-12-03', 'False', '2', '2.0', '2.02', '2.32', '0.02', NULL, '0.022', 'bench-1', '2026-12-03 08:00:01', 1),
  ('V2-B', '20', '10', NULL, '22', 'QA-020', '2026-12-03', 'True', '1', '2.0', '2.0', '2.01', '1.0', '1.0', '1.01', 'bench-1', '2026-12-03 08:30:01', 2),
  ('V2-A', '40', '5', 'HP 34401A', '23', 'QA-017', '2026-12-03', 'True', '1', '1.0', '1.0', '1.01', '0.01', '0.01', '0.011', 'bench-2', '2026-12-03 09:00:01', 3),
  ('V2-A', '40', '5', 'HP 34401A', '23', 'QA-017', '2026-12-03', 'True', '2', '2.0', '2.0', '2.01', '0.02', '0.02', '0.021', 'bench-2', '2026-12-03 09:00:01', 3),
  (NULL, '40', '5', 'HP 34401A', '23', 'QA-017', '2026-12-03', 'True', '1', '1.0', '1.0', '1.0', '0.01', '0.01', '0.01', 'bench-2', '2026-12-03 09:30:01', 4);
