<?php
// Runs the query script on one request target given in hex, as a web server
// would hand it over, for targets PHP's own test server refuses to pass on
// (raw bytes above 0x7F). The body goes to stdout, the status to stderr.
$_SERVER['REQUEST_METHOD'] = 'GET';
$_SERVER['REQUEST_URI'] = hex2bin($argv[2]);
$_SERVER['HTTP_HOST'] = '127.0.0.1';
register_shutdown_function(function () {
    fwrite(STDERR, (string) http_response_code());
});
require $argv[1];
