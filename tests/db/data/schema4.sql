-- Version 4 over a version 3 server: certificates' measurements, and a run that stored some.
CREATE TABLE measurement ("CertNo" text, "SN" text, "Quantity" text, "State" text, "Spot" integer, "Check" text,
    "Setting" text, "Display" text, "Readings" text, "Mean" text, "RangeV" text, "U" text, "Lower" text,
    "Upper" text, "Result" text, run_id bigint NOT NULL REFERENCES run (id));
CREATE INDEX measurement_run ON measurement (run_id);
CREATE INDEX measurement_sn ON measurement ("SN");
CREATE INDEX measurement_cert ON measurement ("CertNo");
UPDATE psucal_schema SET version = 4;

BEGIN;
INSERT INTO run VALUES
  (6, '40000000-0000-4000-8000-000000000006', 'V4-A', 'bench-1', '2026-12-06 08:00:00+00', 'PASS', '40V/5A');
SELECT setval('run_id_seq', 6);
INSERT INTO report VALUES
  ('V4-A', '40', '5', 'HP 34401A', '23', 'QA-017', '2026-12-06', 'True', '1', '1.0', '1.0', '1.01', '0.01', '0.01', '0.011', 'bench-1', '2026-12-06 08:00:01', 6);
INSERT INTO measurement VALUES
  ('BENCH-1-20261206-0001', 'V4-A', 'V', 'left', 1, 'display', '1', '1', '+1.01000000E+00', '1.01', '10', '0.00012', '0.98', '1.06', 'Pass', 6),
  ('BENCH-1-20261206-0001', 'V4-A', 'V', 'left', 1, 'output', '1', '1', '+1.01000000E+00', '1.01', '10', NULL, '0.94', '1.06', 'Pass', 6);
COMMIT;
