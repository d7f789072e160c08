-- Server side of Vantrel for PostgreSQL with orafce: the trace pipe reader that the program
-- polls (vantrel.get) and the sender that traced code calls (vantrel.put).
-- Safe to run again: every object is created or replaced.
SET client_min_messages = warning;

CREATE SCHEMA IF NOT EXISTS vantrel;

-- Next message on the pipe, without waiting; NULL when there is none. One message per call.
CREATE OR REPLACE FUNCTION vantrel.get(p_nam text) RETURNS text
LANGUAGE plpgsql VOLATILE AS $$
BEGIN
    -- Timeout 0: look once and return at once. 0 means a message was received.
    IF dbms_pipe.receive_message(p_nam, 0) = 0 THEN
        RETURN dbms_pipe.unpack_message_text();
    END IF;
    RETURN NULL;
END;
$$;

-- Sends one message. A full pipe makes the sender wait up to p_timeout seconds for the reader;
-- after that, and for a message too long for the reader, it raises an error: a message is never
-- dropped without the sender knowing.
CREATE OR REPLACE FUNCTION vantrel.put(p_nam text, p_message text, p_timeout integer DEFAULT 10)
RETURNS void
LANGUAGE plpgsql VOLATILE AS $$
BEGIN
    IF p_nam IS NULL OR p_nam = '' THEN
        RAISE EXCEPTION 'vantrel.put: the pipe name is empty';
    END IF;
    -- The reader holds 2000 bytes: in a multi-byte encoding that is fewer than 2000 characters.
    IF length(p_message) > 2000 OR octet_length(p_message) > 2000 THEN
        RAISE EXCEPTION 'vantrel.put: message of % characters (% bytes) is longer than 2000 bytes; not sent',
            length(p_message), octet_length(p_message);
    END IF;
    -- A send that timed out leaves its packed item behind; start from an empty buffer.
    PERFORM dbms_pipe.reset_buffer();
    PERFORM dbms_pipe.pack_message(coalesce(p_message, ''));
    IF dbms_pipe.send_message(p_nam, p_timeout) <> 0 THEN
        PERFORM dbms_pipe.reset_buffer();
        RAISE EXCEPTION 'vantrel.put: pipe "%" is full; nobody read it for % seconds; message not sent',
            p_nam, p_timeout;
    END IF;
END;
$$;

GRANT USAGE ON SCHEMA vantrel TO PUBLIC;
GRANT EXECUTE ON FUNCTION vantrel.get(text) TO PUBLIC;
GRANT EXECUTE ON FUNCTION vantrel.put(text, text, integer) TO PUBLIC;
