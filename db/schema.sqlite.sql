-- TELVARON Server database, SQLite form: the thirteen tables that the server and the
-- client terminals share. Creates them in a new, empty file:
--     sqlite3 tldb.db < db/schema.sqlite.sql
-- The server opens only an existing file and switches it to WAL mode itself.
-- db/schema.postgres.sql creates the same tables on a PostgreSQL server; keep both alike.

-- Units: one row per unit ever added; removal only clears SyI_Used.
-- Texts taken from a unit fit whole: serial number up to 16 characters, model 32, versions 8,
-- a 25-byte name up to 205 (twelve 16-character words, their spaces and a character).
CREATE TABLE Systems_Info (
    SyI_Serialnumber VARCHAR(32) NOT NULL PRIMARY KEY,
    SyI_Used SMALLINT NOT NULL,
    SyI_Online SMALLINT NOT NULL DEFAULT 0,
    SyI_Commport SMALLINT NOT NULL,
    SyI_Aux1 VARCHAR(64) NOT NULL,
    SyI_Model VARCHAR(32) NOT NULL,
    SyI_Softver VARCHAR(16) NOT NULL,
    SyI_Hardver VARCHAR(16) NOT NULL,
    SyI_Locationnumber SMALLINT NOT NULL,
    SyI_Systemname VARCHAR(205),
    SyI_EventsTable_Lastpagesn INTEGER NOT NULL DEFAULT 0,
    SyI_EventsTable_Pagebyteswritt SMALLINT NOT NULL DEFAULT 0,
    SyI_EventsTable_LastrecSN INTEGER NOT NULL DEFAULT 0
);

CREATE TABLE Sensors_Info (
    SeI_SyI_Serialnumber VARCHAR(32) NOT NULL,
    SeI_Sensornumber SMALLINT NOT NULL,
    SeI_Used SMALLINT NOT NULL,
    SeI_Sensortype SMALLINT NOT NULL,
    SeI_Sensorname VARCHAR(205),
    SeI_Maxlimit REAL,
    SeI_Minlimit REAL,
    SeI_RecordsTable_Lastpagesn INTEGER NOT NULL DEFAULT 0,
    SeI_RecordsTable_Pagebyteswrit SMALLINT NOT NULL DEFAULT 0,
    SeI_RecordsTable_LastrecSN INTEGER NOT NULL DEFAULT 0,
    PRIMARY KEY (SeI_SyI_Serialnumber, SeI_Sensornumber)
);

CREATE TABLE Powermonitoring_Info (
    PmI_SyI_Serialnumber VARCHAR(32) NOT NULL,
    PmI_Powernumber SMALLINT NOT NULL,
    PmI_Used SMALLINT NOT NULL,
    PRIMARY KEY (PmI_SyI_Serialnumber, PmI_Powernumber)
);

-- Live tables: emptied at every start of the server.
CREATE TABLE Systems_Current_Condition (
    SyCC_SyI_Serialnumber VARCHAR(32) NOT NULL PRIMARY KEY,
    SyCC_Alarmcondition SMALLINT,
    SyCC_RelayBcondition SMALLINT,
    SyCC_Inacall SMALLINT,
    SyCC_Rtc TIMESTAMP
);

CREATE TABLE Sensors_Current_Condition (
    SeCC_SyI_Serialnumber VARCHAR(32) NOT NULL,
    SeCC_Sensornumber SMALLINT NOT NULL,
    SeCC_Currvalue REAL,
    SeCC_Outofbounds SMALLINT,
    SeCC_Notpowered SMALLINT,
    SeCC_Alarmcondition SMALLINT,
    PRIMARY KEY (SeCC_SyI_Serialnumber, SeCC_Sensornumber)
);

CREATE TABLE Powermonitoring_Current_Condit (
    PmCC_SyI_Serialnumber VARCHAR(32) NOT NULL,
    PmCC_Powernumber SMALLINT NOT NULL,
    PmCC_Powerfault SMALLINT,
    PmCC_Powercondition SMALLINT,
    PRIMARY KEY (PmCC_SyI_Serialnumber, PmCC_Powernumber)
);

CREATE TABLE Systems_Faults (
    SyF_SyI_Serialnumber VARCHAR(32) NOT NULL,
    SyF_Faulttype SMALLINT NOT NULL,
    SyF_Faultinfo VARCHAR(8) NOT NULL,
    PRIMARY KEY (SyF_SyI_Serialnumber, SyF_Faulttype, SyF_Faultinfo)
);

-- Exactly one of the counter and the time holds a value in every row the server writes.
CREATE TABLE Sensors_Events (
    SeE_SyI_Serialnumber VARCHAR(32) NOT NULL,
    SeE_Sensornumber SMALLINT NOT NULL,
    SeE_Eventtype SMALLINT,
    SeE_Recordedvalue REAL,
    SeE_BeforeCounter INTEGER,
    SeE_Recordeddatetime TIMESTAMP,
    SeE_Recipients SMALLINT,
    SeE_Eventnumber SMALLINT NOT NULL,
    PRIMARY KEY (SeE_SyI_Serialnumber, SeE_Sensornumber, SeE_Eventnumber)
);

CREATE TABLE Powermonitoring_Events (
    PmE_SyI_Serialnumber VARCHAR(32) NOT NULL,
    PmE_Eventpowercondition SMALLINT,
    PmE_BeforeCounter INTEGER,
    PmE_Recordeddatetime TIMESTAMP,
    PmE_Recipients SMALLINT,
    PmE_Eventnumber SMALLINT NOT NULL,
    PRIMARY KEY (PmE_SyI_Serialnumber, PmE_Eventnumber)
);

-- History: appended by the server, never changed or purged. The server never reads it
-- back; the indexes serve the terminals, which look up a unit's history by time.
CREATE TABLE Records (
    Rec_SyI_Serialnumber VARCHAR(32) NOT NULL,
    Rec_SeI_Sensornumber SMALLINT NOT NULL,
    Rec_Datetime TIMESTAMP,
    Rec_Value REAL,
    Rec_Sensortype SMALLINT,
    Rec_SensRecSN INTEGER NOT NULL
);
CREATE INDEX Records_Sensor_Time ON Records (Rec_SyI_Serialnumber, Rec_SeI_Sensornumber, Rec_Datetime);

-- A field that an event's source does not fill stays Null.
CREATE TABLE Events_1 (
    Event_SyI_Serialnumber VARCHAR(32) NOT NULL,
    Event_EventSource SMALLINT NOT NULL,
    Event_Datetime TIMESTAMP,
    Event_Value REAL,
    Event_Condition SMALLINT,
    Event_SeI_Sensortype SMALLINT,
    Event_Info1 VARCHAR(100),
    Event_Ack SMALLINT NOT NULL DEFAULT 0,
    Event_SystemEventSN INTEGER NOT NULL
);
CREATE INDEX Events_1_Unit_Time ON Events_1 (Event_SyI_Serialnumber, Event_Datetime);

-- Written by the terminals, which may insert only the serial number, the type and the
-- attributes; the server answers with the reply and the completed flag.
CREATE TABLE Terminal_Requests (
    TrmReq_ID INTEGER PRIMARY KEY,
    TrmReq_SyI_Serialnumber VARCHAR(32),
    TrmReq_Requesttype SMALLINT,
    TrmReq_Attributes VARCHAR(100),
    TrmReq_Requestreply SMALLINT DEFAULT 0,
    TrmReq_Requestcompleted SMALLINT NOT NULL DEFAULT 0
);
CREATE INDEX Terminal_Requests_Pending ON Terminal_Requests (TrmReq_Requestcompleted);

CREATE TABLE Terminal_Ping_Requests (
    TrmPingReq_ID INTEGER PRIMARY KEY,
    TrmPingReq_Served SMALLINT NOT NULL DEFAULT 0
);
CREATE INDEX Terminal_Ping_Requests_Waiting ON Terminal_Ping_Requests (TrmPingReq_Served);
