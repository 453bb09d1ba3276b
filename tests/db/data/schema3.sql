-- Version 3 over a version 2 server: the line view's indexes.
CREATE EXTENSION IF NOT EXISTS pg_trgm;
CREATE INDEX run_sn_part ON run USING gin (sn gin_trgm_ops);
CREATE INDEX run_bench ON run (bench, made_at);
CREATE INDEX report_step ON report ("Step", run_id) INCLUDE ("SV", "OV", "SC", "OC");
UPDATE psucal_schema SET version = 3;
