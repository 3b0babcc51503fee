-- The tables SabreDAV 1.8's PDO backends read (users, principals with their groups, calendars
-- and their objects), for the test server started by tests/support/dav_servers.cpp.
CREATE TABLE users (
    id INTEGER PRIMARY KEY ASC,
    username TEXT UNIQUE,
    digesta1 TEXT
);
CREATE TABLE principals (
    id INTEGER PRIMARY KEY ASC,
    uri TEXT UNIQUE,
    email TEXT,
    displayname TEXT,
    vcardurl TEXT
);
CREATE TABLE groupmembers (
    id INTEGER PRIMARY KEY ASC,
    principal_id INTEGER,
    member_id INTEGER,
    UNIQUE (principal_id, member_id)
);
CREATE TABLE calendars (
    id INTEGER PRIMARY KEY ASC,
    principaluri TEXT,
    displayname TEXT,
    uri TEXT,
    ctag INTEGER,
    description TEXT,
    calendarorder INTEGER,
    calendarcolor TEXT,
    timezone TEXT,
    components TEXT,
    transparent BOOL
);
CREATE TABLE calendarobjects (
    id INTEGER PRIMARY KEY ASC,
    calendardata BLOB,
    uri TEXT,
    calendarid INTEGER,
    lastmodified INTEGER,
    etag TEXT,
    size INTEGER,
    componenttype TEXT,
    firstoccurence INTEGER,
    lastoccurence INTEGER
);
