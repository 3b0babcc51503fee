<?php
// A CalDAV server for the tests on Debian's php-sabre-dav (SabreDAV 1.8), as the router script
// of PHP's own web server:
//   SABRE_DB=FOLDER/db.sqlite SABRE_BASE=/dav/ php -S 127.0.0.1:PORT sabredav_server.php
// The database (tests/support/sabredav_schema.sql and the people) is written by
// tests/support/dav_servers.cpp before the start. Users log in with Basic authentication,
// checked against the digest column SabreDAV's own digest backend reads:
// md5("user:SabreDAV:password").
//
// SabreDAV 1.8 predates PHP 8.2 and raises deprecation notices on every request; they are let
// pass here instead of being turned into exceptions (which ends every answer in a 500).

date_default_timezone_set('UTC');
error_reporting(E_ALL & ~E_DEPRECATED & ~E_USER_DEPRECATED);
set_error_handler(function ($errno, $errstr, $errfile, $errline) {
    if ($errno & (E_DEPRECATED | E_USER_DEPRECATED)) {
        return true;
    }
    throw new \ErrorException($errstr, 0, $errno, $errfile, $errline);
});

require_once 'Sabre/autoload.php';

const REALM = 'SabreDAV';

class RotaviewBasicAuth extends \Sabre\DAV\Auth\Backend\AbstractBasic {
    private $pdo;

    public function __construct(\PDO $pdo) {
        $this->pdo = $pdo;
    }

    protected function validateUserPass($username, $password) {
        $stmt = $this->pdo->prepare('SELECT digesta1 FROM users WHERE username = ?');
        $stmt->execute(array($username));
        $hash = $stmt->fetchColumn();
        return $hash !== false && hash_equals($hash, md5($username . ':' . REALM . ':' . $password));
    }
}

$pdo = new \PDO('sqlite:' . getenv('SABRE_DB'));
$pdo->setAttribute(\PDO::ATTR_ERRMODE, \PDO::ERRMODE_EXCEPTION);

$principals = new \Sabre\DAVACL\PrincipalBackend\PDO($pdo);
$calendars = new \Sabre\CalDAV\Backend\PDO($pdo);
$server = new \Sabre\DAV\Server(array(
    new \Sabre\CalDAV\Principal\Collection($principals),
    new \Sabre\CalDAV\CalendarRootNode($principals, $calendars),
));
// PHP's web server gives no PATH_INFO to guess the base from.
$server->setBaseUri(getenv('SABRE_BASE') ?: '/');
$server->addPlugin(new \Sabre\DAV\Auth\Plugin(new RotaviewBasicAuth($pdo), REALM));
$server->addPlugin(new \Sabre\DAVACL\Plugin());
$server->addPlugin(new \Sabre\CalDAV\Plugin());
$server->exec();
