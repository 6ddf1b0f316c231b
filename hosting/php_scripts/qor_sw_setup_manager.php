<?php
/*
 * QOR_sync_PRO update server for ordinary PHP hosting (PHP 7.4 and 8.x, no
 * extension beyond the standard ones, no database).
 *
 * Copy this folder (the script and its .user.ini) to /php_scripts/ of the
 * web host, with catalogue.json beside it or where QOR_CATALOGUE_DIR says.
 * It answers the client's six queries (art=check, caption, sw_update, new,
 * install, update) from the catalogue, byte for byte as the bundled
 * tools/update_server.py does; docs/update-server.md describes the catalogue.
 *
 * Status codes: 200 with the answer (an empty answer for an unknown query),
 * 404 "not found" for any other path, 500 "catalogue error" when the
 * catalogue is missing or broken (the reason goes to the PHP error log,
 * never to the client), 501 for methods other than GET and HEAD.
 */

// The folder that holds catalogue.json. Empty: the environment variable
// QOR_CATALOGUE_DIR names it, and without that it is this script's folder.
// A folder outside the web root keeps the catalogue itself from being
// fetched over HTTP.
const QOR_CATALOGUE_DIR = '';

const QOR_SCRIPT_PATH = '/php_scripts/qor_sw_setup_manager.php';
const QOR_QUERIES = ['check', 'caption', 'sw_update', 'new', 'install', 'update'];
const QOR_PACKAGE_FIELDS = ['id', 'fn', 've', 'pa', 'ar', 'ja', 'st'];

// Whatever the host's php.ini says: no error text ever reaches a client,
// whose parser would take it for records.
ini_set('display_errors', '0');
ini_set('log_errors', '1');
ini_set('zlib.output_compression', '0');
error_reporting(E_ALL);
ob_start();

/** A catalogue the script cannot answer from; its message goes to the log. */
final class QorCatalogueError extends RuntimeException
{
}

/** A JSON object of the catalogue, kept apart from a JSON list. */
final class QorJsonObject
{
    /** @var array<string|int, mixed> */
    public $items;

    public function __construct(array $items)
    {
        $this->items = $items;
    }

    public function has($key): bool
    {
        return array_key_exists((string) $key, $this->items);
    }

    public function get($key, $default)
    {
        return $this->has($key) ? $this->items[(string) $key] : $default;
    }
}

function qor_send(int $status, string $body, string $type = 'text/plain; charset=utf-8'): void
{
    static $sent = false;
    if ($sent) {
        return;
    }
    $sent = true;
    while (ob_get_level() > 0) {
        ob_end_clean();
    }
    if (!headers_sent()) {
        http_response_code($status);
        header_remove('X-Powered-By');
        header('Content-Type: ' . $type);
        header('Content-Length: ' . strlen($body));
        // A published change must reach the next client, past any cache.
        header('Cache-Control: no-store');
        header('X-Content-Type-Options: nosniff');
    }
    echo $body;
}

function qor_log(string $message): void
{
    error_log('qor_sw_setup_manager: ' . $message);
}

// --- the request, read as the bundled server reads it -----------------------

/** Path and query string of the request target (fragment and any scheme and host left out). */
function qor_request_target(): array
{
    if (isset($_SERVER['REQUEST_URI'])) {
        $target = (string) $_SERVER['REQUEST_URI'];
    } else {
        $target = ($_SERVER['SCRIPT_NAME'] ?? '') . ($_SERVER['PATH_INFO'] ?? '');
        if (($_SERVER['QUERY_STRING'] ?? '') !== '') {
            $target .= '?' . $_SERVER['QUERY_STRING'];
        }
    }
    // As the bundled server: a run of leading slashes is one, then the
    // target is split as a URL (scheme and host, fragment, query).
    if (substr($target, 0, 2) === '//') {
        $target = '/' . ltrim($target, '/');
    }
    $target = str_replace(["\t", "\r", "\n"], '', ltrim($target, "\x00..\x20"));
    if (preg_match('/^[A-Za-z][A-Za-z0-9+.\-]*:/', $target, $scheme)) {
        $target = substr($target, strlen($scheme[0]));
    }
    if (substr($target, 0, 2) === '//') {
        $target = substr($target, strcspn($target, '/?#', 2) + 2);
    }
    $hash = strpos($target, '#');
    if ($hash !== false) {
        $target = substr($target, 0, $hash);
    }
    $parts = explode('?', $target, 2);
    return [$parts[0], $parts[1] ?? ''];
}

/** Bytes as ISO-8859-1 text, written in UTF-8: how raw bytes of the request line are read. */
function qor_latin1_to_utf8(string $bytes): string
{
    return preg_replace_callback('/[\x80-\xFF]/', function (array $m): string {
        $b = ord($m[0]);
        return chr(0xC0 | ($b >> 6)) . chr(0x80 | ($b & 0x3F));
    }, $bytes);
}

/** UTF-8 with every maximal ill-formed part replaced by U+FFFD. */
function qor_utf8_scrub(string $bytes): string
{
    if (preg_match('//u', $bytes)) {
        return $bytes;
    }
    $out = '';
    $n = strlen($bytes);
    $i = 0;
    while ($i < $n) {
        $c = ord($bytes[$i]);
        if ($c < 0x80) {
            $out .= $bytes[$i++];
            continue;
        }
        // Continuation bytes needed, and the range of the first of them.
        if ($c >= 0xC2 && $c <= 0xDF) {
            [$need, $lo, $hi] = [1, 0x80, 0xBF];
        } elseif ($c === 0xE0) {
            [$need, $lo, $hi] = [2, 0xA0, 0xBF];
        } elseif ($c === 0xED) {
            [$need, $lo, $hi] = [2, 0x80, 0x9F];
        } elseif ($c >= 0xE1 && $c <= 0xEF) {
            [$need, $lo, $hi] = [2, 0x80, 0xBF];
        } elseif ($c === 0xF0) {
            [$need, $lo, $hi] = [3, 0x90, 0xBF];
        } elseif ($c >= 0xF1 && $c <= 0xF3) {
            [$need, $lo, $hi] = [3, 0x80, 0xBF];
        } elseif ($c === 0xF4) {
            [$need, $lo, $hi] = [3, 0x80, 0x8F];
        } else {
            $out .= "\xEF\xBF\xBD";
            $i++;
            continue;
        }
        $j = $i + 1;
        $whole = true;
        for ($k = 0; $k < $need; $k++, $j++) {
            $d = $j < $n ? ord($bytes[$j]) : -1;
            if ($k === 0 ? ($d < $lo || $d > $hi) : ($d < 0x80 || $d > 0xBF)) {
                $whole = false;
                break;
            }
        }
        $out .= $whole ? substr($bytes, $i, $need + 1) : "\xEF\xBF\xBD";
        $i = $j;
    }
    return $out;
}

/** One name or value of the query string: "+" is a space, %XX a byte of UTF-8. */
function qor_unquote(string $text): string
{
    $text = str_replace('+', ' ', $text);
    if (strpos($text, '%') === false) {
        return qor_latin1_to_utf8($text);
    }
    $out = '';
    foreach (preg_split('/([\x00-\x7F]+)/', $text, -1, PREG_SPLIT_DELIM_CAPTURE | PREG_SPLIT_NO_EMPTY) as $run) {
        $out .= ord($run[0]) < 0x80 ? qor_utf8_scrub(rawurldecode($run)) : qor_latin1_to_utf8($run);
    }
    return $out;
}

/** The query's parameters; a name given twice keeps its last value. */
function qor_query_params(string $query): array
{
    $params = [];
    foreach (explode('&', $query) as $piece) {
        if ($piece === '') {
            continue;
        }
        $pair = explode('=', $piece, 2);
        $params[qor_unquote($pair[0])] = qor_unquote($pair[1] ?? '');
    }
    return $params;
}

// --- the catalogue ----------------------------------------------------------

function qor_catalogue_folder(): string
{
    if (QOR_CATALOGUE_DIR !== '') {
        return QOR_CATALOGUE_DIR;
    }
    $named = getenv('QOR_CATALOGUE_DIR');
    return is_string($named) && $named !== '' ? $named : __DIR__;
}

/** JSON objects as QorJsonObject, lists as arrays, scalars as they are. */
function qor_tag($value)
{
    if ($value instanceof stdClass) {
        $items = [];
        foreach ((array) $value as $key => $item) {
            $items[(string) $key] = qor_tag($item);
        }
        return new QorJsonObject($items);
    }
    return is_array($value) ? array_map('qor_tag', $value) : $value;
}

function qor_load_catalogue(string $folder): QorJsonObject
{
    $path = rtrim($folder, '/\\') . DIRECTORY_SEPARATOR . 'catalogue.json';
    if (!is_file($path)) {
        throw new QorCatalogueError($path . ' is missing');
    }
    $text = file_get_contents($path);
    try {
        $data = qor_tag(json_decode($text, false, 512, JSON_BIGINT_AS_STRING | JSON_THROW_ON_ERROR));
    } catch (JsonException $e) {
        throw new QorCatalogueError($path . ': ' . $e->getMessage());
    }
    if (!($data instanceof QorJsonObject)) {
        throw new QorCatalogueError('the catalogue must be a JSON object');
    }
    return $data;
}

/** The text a value of the catalogue is written as: a number as the catalogue's own server writes it. */
function qor_text($value, string $where): string
{
    if (is_string($value)) {
        return $value;
    }
    if (is_int($value)) {
        return (string) $value;
    }
    if (is_float($value)) {
        return qor_float_text($value);
    }
    if (is_bool($value)) {
        return $value ? 'True' : 'False';
    }
    if ($value === null) {
        return 'None';
    }
    throw new QorCatalogueError($where . ' holds a list or an object where a value belongs');
}

/** The shortest text that reads back as the same double, in the form 1.5, 100.0, 1e-05, 1e+16. */
function qor_float_text(float $x): string
{
    if (is_nan($x)) {
        return 'nan';
    }
    if (is_infinite($x)) {
        return $x > 0 ? 'inf' : '-inf';
    }
    $sign = ($x < 0 || ($x == 0.0 && strncmp((string) $x, '-', 1) === 0)) ? '-' : '';
    $x = abs($x);
    if ($x == 0.0) {
        return $sign . '0.0';
    }
    for ($precision = 0; $precision < 17; $precision++) {
        $e = sprintf('%.' . $precision . 'e', $x);
        if ((float) $e === $x) {
            break;
        }
    }
    [$mantissa, $exponent] = explode('e', $e);
    $digits = rtrim(str_replace('.', '', $mantissa), '0');
    $exponent = (int) $exponent;
    $point = $exponent + 1; // digits before the decimal point
    if ($point <= -4 || $point > 16) {
        $lead = $digits[0] . (strlen($digits) > 1 ? '.' . substr($digits, 1) : '');
        $power = str_pad((string) abs($exponent), 2, '0', STR_PAD_LEFT);
        return $sign . $lead . 'e' . ($exponent < 0 ? '-' : '+') . $power;
    }
    if ($point <= 0) {
        return $sign . '0.' . str_repeat('0', -$point) . $digits;
    }
    if ($point >= strlen($digits)) {
        return $sign . $digits . str_repeat('0', $point - strlen($digits)) . '.0';
    }
    return $sign . substr($digits, 0, $point) . '.' . substr($digits, $point);
}

function qor_object($value, string $where): QorJsonObject
{
    if (!($value instanceof QorJsonObject)) {
        throw new QorCatalogueError($where . ' must be a JSON object');
    }
    return $value;
}

function qor_list($value, string $where): array
{
    if (!is_array($value)) {
        throw new QorCatalogueError($where . ' must be a JSON list');
    }
    return $value;
}

function qor_string($value, string $where): string
{
    if (!is_string($value)) {
        throw new QorCatalogueError($where . ' must be a text');
    }
    return $value;
}

// --- the answers ------------------------------------------------------------

/** The FTP server named when the catalogue names none: the host this request came to, on FTP's own port. */
function qor_request_host(): string
{
    foreach (['HTTP_HOST', 'SERVER_NAME'] as $source) {
        $host = (string) ($_SERVER[$source] ?? '');
        if (preg_match('/^(\[[0-9A-Fa-f:.]+\]|[A-Za-z0-9.\-]+)(:[0-9]*)?$/', $host, $m)) {
            return $m[1];
        }
    }
    throw new QorCatalogueError('settings.se is not set and the request names no usable host');
}

function qor_answer_text(QorJsonObject $data, string $query, array $params): string
{
    $was = $params['was'] ?? null;
    switch ($query) {
        case 'check':
            return $was === 'ab' ? qor_string($data->get('check', 'ok'), 'check') : '';
        case 'caption':
            $captions = qor_object($data->get('captions', new QorJsonObject([])), 'captions');
            $was = (string) ($was ?? '');
            $entries = qor_object($captions->get($was, new QorJsonObject([])), 'captions.' . $was);
            $records = [];
            foreach ($entries->items as $key => $value) {
                $records[] = $key . '|' . qor_text($value, 'captions.' . $was . '.' . $key);
            }
            return implode('||', $records);
        case 'sw_update':
            $s = qor_object($data->get('settings', new QorJsonObject([])), 'settings');
            $defaults = ['fo' => '/', 'us' => 'qor', 'pa' => 'qor'];
            $fields = [];
            foreach (qor_list($s->get('order', ['se', 'fo', 'us', 'pa']), 'settings.order') as $key) {
                if (!is_string($key) || !in_array($key, ['se', 'fo', 'us', 'pa'], true)) {
                    throw new QorCatalogueError('settings.order names a field other than se, fo, us, pa');
                }
                if ($key === 'se') {
                    $server = $s->get('se', null);
                    $value = $server === null ? qor_request_host() : qor_text($server, 'settings.se');
                } else {
                    $value = qor_text($s->get($key, $defaults[$key]), 'settings.' . $key);
                }
                $fields[] = $key . '=' . $value;
            }
            return implode('|', $fields) . qor_string($s->get('end', ''), 'settings.end');
        case 'new':
            $names = [];
            foreach (qor_list($data->get('new', []), 'new') as $name) {
                $names[] = qor_string($name, 'a name in new');
            }
            return implode('||', $names);
        case 'install':
        case 'update':
            $records = [];
            if ($query === 'update') {
                foreach (['mainprogram', 'updaprogram'] as $key) {
                    if ($data->has($key)) {
                        $records[] = $key . '=' . qor_text($data->get($key, null), $key);
                    }
                }
            }
            foreach (qor_list($data->get($query, []), $query) as $entry) {
                if (is_string($entry)) { // a record given verbatim
                    $records[] = $entry;
                    continue;
                }
                $entry = qor_object($entry, 'a record in ' . $query);
                $fields = [];
                foreach (QOR_PACKAGE_FIELDS as $key) {
                    if ($entry->has($key)) {
                        $fields[] = $key . '=' . qor_text($entry->get($key, null), $query . ' record field ' . $key);
                    }
                }
                $records[] = implode('|', $fields);
            }
            return implode('||', $records);
    }
    return '';
}

/** The code page the catalogue names, by the names the catalogue's own server knows for the two it writes. */
function qor_charset(QorJsonObject $data): string
{
    $name = strtolower(qor_string($data->get('charset', 'utf-8'), 'charset'));
    $name = trim(preg_replace('/[^a-z0-9.]+/', '_', $name), '_');
    $name = str_replace('.', '_', $name);
    if (in_array($name, ['utf_8', 'utf8', 'u8', 'utf', 'cp65001', 'utf8_ucs2', 'utf8_ucs4'], true)) {
        return 'utf-8';
    }
    if (in_array($name, ['cp1252', 'windows_1252', '1252'], true)) {
        return 'windows-1252';
    }
    throw new QorCatalogueError('charset must be utf-8 or windows-1252');
}

/** UTF-8 text in Windows-1252; a character the code page lacks makes the answer fail, never a "?". */
function qor_windows_1252(string $text): string
{
    static $high = [
        0x20AC => "\x80", 0x201A => "\x82", 0x0192 => "\x83", 0x201E => "\x84", 0x2026 => "\x85", 0x2020 => "\x86",
        0x2021 => "\x87", 0x02C6 => "\x88", 0x2030 => "\x89", 0x0160 => "\x8A", 0x2039 => "\x8B", 0x0152 => "\x8C",
        0x017D => "\x8E", 0x2018 => "\x91", 0x2019 => "\x92", 0x201C => "\x93", 0x201D => "\x94", 0x2022 => "\x95",
        0x2013 => "\x96", 0x2014 => "\x97", 0x02DC => "\x98", 0x2122 => "\x99", 0x0161 => "\x9A", 0x203A => "\x9B",
        0x0153 => "\x9C", 0x017E => "\x9E", 0x0178 => "\x9F",
    ];
    return preg_replace_callback('/[\x{80}-\x{10FFFF}]/u', function (array $m) use ($high): string {
        $c = $m[0];
        $code = ord($c[0]) & (0x7F >> strlen($c));
        for ($i = 1; $i < strlen($c); $i++) {
            $code = ($code << 6) | (ord($c[$i]) & 0x3F);
        }
        if ($code >= 0xA0 && $code <= 0xFF) {
            return chr($code);
        }
        if (isset($high[$code])) {
            return $high[$code];
        }
        throw new QorCatalogueError(sprintf('a text holds U+%04X, which Windows-1252 cannot write', $code));
    }, $text);
}

/** The bytes of a file the catalogue's "answers" names; only files inside the catalogue's folder. */
function qor_answer_file(QorJsonObject $data, string $folder, array $keys): ?string
{
    $answers = $data->get('answers', new QorJsonObject([]));
    if ($answers === []) {
        return null;
    }
    $answers = qor_object($answers, 'answers');
    foreach ($keys as $key) {
        if (!$answers->has($key)) {
            continue;
        }
        $name = qor_string($answers->get($key, null), 'answers.' . $key);
        if ($name === '' || strpos($name, "\0") !== false || preg_match('#^([/\\\\]|[A-Za-z]:)#', $name)) {
            throw new QorCatalogueError('answers.' . $key . ' must name a file relative to the catalogue');
        }
        $base = realpath($folder);
        $path = realpath($folder . DIRECTORY_SEPARATOR . $name);
        if ($base === false || $path === false || strncmp($path, $base . DIRECTORY_SEPARATOR, strlen($base) + 1) !== 0
            || !is_file($path)) {
            throw new QorCatalogueError('answers.' . $key . ' names no file inside the catalogue\'s folder');
        }
        return file_get_contents($path);
    }
    return null;
}

function qor_main(): void
{
    $method = $_SERVER['REQUEST_METHOD'] ?? 'GET';
    if ($method !== 'GET' && $method !== 'HEAD') {
        header('Allow: GET, HEAD');
        qor_send(501, "not implemented\n");
        return;
    }
    [$path, $query_string] = qor_request_target();
    if ($path !== QOR_SCRIPT_PATH) {
        qor_send(404, "not found\n");
        return;
    }
    $params = qor_query_params($query_string);
    $query = (string) ($params['art'] ?? '');
    $folder = qor_catalogue_folder();
    try {
        $data = qor_load_catalogue($folder);
        $body = null;
        $type = 'text/plain';
        if (in_array($query, QOR_QUERIES, true)) {
            $keys = $query === 'caption' ? [$query . '.' . ($params['was'] ?? ''), $query] : [$query];
            $body = qor_answer_file($data, $folder, $keys);
        }
        if ($body === null) {
            $text = in_array($query, QOR_QUERIES, true) ? qor_answer_text($data, $query, $params) : '';
            $charset = qor_charset($data);
            $body = $charset === 'utf-8' ? $text : qor_windows_1252($text);
            $type = 'text/plain; charset=' . $charset;
        }
    } catch (Throwable $e) {
        qor_log($e instanceof QorCatalogueError ? $e->getMessage() : get_class($e) . ': ' . $e->getMessage());
        qor_send(500, "catalogue error\n");
        return;
    }
    qor_send(200, $body, $type);
}

// A warning is a failure of the answer, not text inside it.
set_error_handler(function (int $severity, string $message, string $file = '', int $line = 0): bool {
    if (($severity & (E_DEPRECATED | E_USER_DEPRECATED)) !== 0) {
        return false; // logged as usual: a newer PHP's notice must not fail every answer
    }
    throw new ErrorException($message, 0, $severity, $file, $line);
});
// Out of memory or time: a short 500, never a half answer.
register_shutdown_function(function (): void {
    $error = error_get_last();
    if ($error !== null && in_array($error['type'], [E_ERROR, E_CORE_ERROR, E_COMPILE_ERROR, E_PARSE], true)) {
        qor_send(500, "catalogue error\n");
    }
});
qor_main();
