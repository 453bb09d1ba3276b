-- What an upgrade must keep, in a schema of its own that the tests' dropped tables leave alone.
CREATE SCHEMA IF NOT EXISTS upgrade_check;
CREATE TABLE IF NOT EXISTS upgrade_check.before (what text PRIMARY KEY, value text);

-- The server's version; every record's values; the sets (report_set up to version 1, run after),
-- the certificates' rows with the set they came in; the tables' columns and the indexes.
CREATE OR REPLACE FUNCTION upgrade_check.state(what text) RETURNS text LANGUAGE plpgsql AS $$
DECLARE
    out text;
BEGIN
    IF what = 'version' THEN
        SELECT max(version)::text INTO out FROM psucal_schema;
    ELSIF what = 'records' THEN
        SELECT count(*) || ' ' || coalesce(md5(string_agg(r::text, '|' ORDER BY r::text)), '') INTO out
        FROM (SELECT "SN", "MaxV", "MaxC", "TEquipment", "AmbientTemp", "TestBy", "TestData", "Pass", "Step",
                     "SV", "DV", "OV", "SC", "DC", "OC", "Bench", "StoredAt" FROM report) r;
    ELSIF what = 'sets' THEN
        EXECUTE format('SELECT string_agg(concat_ws('' '', set_id, sn, made_at), ''|'' ORDER BY set_id) FROM %I',
                       CASE WHEN to_regclass('report_set') IS NULL THEN 'run' ELSE 'report_set' END) INTO out;
    ELSIF what = 'measurements' AND to_regclass('measurement') IS NOT NULL THEN
        EXECUTE 'SELECT md5(string_agg(row(m.*, r.set_id)::text, ''|'' ORDER BY row(m.*, r.set_id)::text)) '
                'FROM measurement m JOIN run r ON r.id = m.run_id' INTO out;
    ELSIF what = 'shape' THEN
        SELECT string_agg(c, ',' ORDER BY c) INTO out FROM (
            SELECT table_name || '.' || column_name AS c FROM information_schema.columns WHERE table_schema = 'public'
            UNION ALL SELECT indexname FROM pg_indexes WHERE schemaname = 'public') x;
    END IF;
    RETURN coalesce(out, '');
END $$;

CREATE OR REPLACE FUNCTION upgrade_check.remember() RETURNS void LANGUAGE sql AS $$
    DELETE FROM upgrade_check.before;
    INSERT INTO upgrade_check.before
        SELECT w, upgrade_check.state(w) FROM unnest(ARRAY['version', 'records', 'sets', 'measurements', 'shape']) w;
$$;

-- What moved since remember(); empty when nothing did.
CREATE OR REPLACE FUNCTION upgrade_check.unchanged() RETURNS text LANGUAGE sql AS $$
    SELECT string_agg(what || ' changed', ', ' ORDER BY what) FROM upgrade_check.before
    WHERE value IS DISTINCT FROM upgrade_check.state(what);
$$;

-- What an upgrade to `version` got wrong; empty when nothing. Records must keep their values, each
-- in a run whose facts are its own and that holds no other store's records; every set must be a
-- run; a run without records claims no verdict; the certificates' rows stay with their run.
CREATE OR REPLACE FUNCTION upgrade_check.upgraded(version int) RETURNS text LANGUAGE plpgsql AS $$
DECLARE
    wrong text[] := '{}';
    n bigint;
BEGIN
    IF upgrade_check.state('version') <> version::text THEN
        wrong := wrong || ('at version ' || upgrade_check.state('version'));
    END IF;
    SELECT array_agg(what || ' changed' ORDER BY what) || wrong INTO wrong FROM upgrade_check.before
    WHERE what IN ('records', 'measurements') AND value IS DISTINCT FROM upgrade_check.state(what);
    SELECT wrong || array_agg('no run of set ' || s ORDER BY s) INTO wrong
    FROM upgrade_check.before, unnest(string_to_array(value, '|')) s
    WHERE what = 'sets' AND NOT s = ANY (string_to_array(upgrade_check.state('sets'), '|'));
    SELECT count(*) INTO n FROM report p LEFT JOIN run r ON r.id = p.run_id
    WHERE r.id IS NULL OR r.sn IS DISTINCT FROM p."SN" OR r.bench IS DISTINCT FROM p."Bench"
       OR r.made_at > p."StoredAt" AT TIME ZONE 'UTC'
       OR r.verdict IS DISTINCT FROM CASE p."Pass" WHEN 'True' THEN 'PASS' ELSE 'FAIL' END
       OR r.model IS DISTINCT FROM p."MaxV" || 'V/' || p."MaxC" || 'A'
       OR (SELECT count(DISTINCT "StoredAt") FROM report WHERE run_id = r.id) > 1;
    IF n > 0 THEN
        wrong := wrong || (n || ' records out of their run');
    END IF;
    SELECT count(*) INTO n FROM run WHERE verdict IS NOT NULL AND NOT EXISTS (SELECT 1 FROM report WHERE run_id = run.id);
    IF n > 0 THEN
        wrong := wrong || (n || ' runs without records with a verdict');
    END IF;
    -- Version 5: the runs stored before counted no repeats.
    SELECT count(*) INTO n FROM run WHERE repeats <> 0;
    IF n > 0 THEN
        wrong := wrong || (n || ' runs with repeats');
    END IF;
    RETURN array_to_string(wrong, ', ');
END $$;
