-- Server side of Vantrel for Oracle: the trace pipe reader that the program polls (vantrel.get)
-- and the sender that traced code calls (vantrel.put). Needs EXECUTE on SYS.DBMS_PIPE.
-- Safe to run again: both parts are created or replaced.

CREATE OR REPLACE PACKAGE vantrel AS
    -- Next message on the pipe, without waiting; NULL when there is none. One message per call.
    FUNCTION get(p_nam IN VARCHAR2) RETURN VARCHAR2;
    -- Sends one message of at most 2000 bytes; waits up to p_timeout seconds while the pipe is
    -- full, then raises an error: a message is never dropped without the sender knowing.
    PROCEDURE put(p_nam IN VARCHAR2, p_message IN VARCHAR2, p_timeout IN INTEGER DEFAULT 10);
END vantrel;
/

CREATE OR REPLACE PACKAGE BODY vantrel AS
    FUNCTION get(p_nam IN VARCHAR2) RETURN VARCHAR2 IS
        message VARCHAR2(2000);
    BEGIN
        -- 0: received; 1: nothing waiting within the timeout of 0 seconds.
        IF DBMS_PIPE.RECEIVE_MESSAGE(p_nam, 0) = 0 THEN
            DBMS_PIPE.UNPACK_MESSAGE(message);
            RETURN message;
        END IF;
        RETURN NULL;
    END get;

    PROCEDURE put(p_nam IN VARCHAR2, p_message IN VARCHAR2, p_timeout IN INTEGER DEFAULT 10) IS
        status INTEGER;
    BEGIN
        IF LENGTHB(p_message) > 2000 THEN
            RAISE_APPLICATION_ERROR(-20001, 'vantrel.put: message of ' || LENGTHB(p_message)
                || ' bytes is longer than 2000 bytes; not sent');
        END IF;
        -- A send that timed out leaves its packed item behind; start from an empty buffer.
        DBMS_PIPE.RESET_BUFFER;
        DBMS_PIPE.PACK_MESSAGE(p_message);
        status := DBMS_PIPE.SEND_MESSAGE(p_nam, p_timeout);
        IF status <> 0 THEN
            DBMS_PIPE.RESET_BUFFER;
            RAISE_APPLICATION_ERROR(-20002, 'vantrel.put: pipe "' || p_nam || '" is full; nobody read it for '
                || p_timeout || ' seconds; message not sent (status ' || status || ')');
        END IF;
    END put;
END vantrel;
/

GRANT EXECUTE ON vantrel TO PUBLIC;
