#!/usr/bin/env bash
# Self-check of the test backend: makes a scratch CA (the trust store is not
# touched), starts server.py on free ports with a scratch scenario, checks
# routes, faults and the request log with a small Python client, then stops the
# server by its pid and checks that nothing is left running.
# Exit status is non-zero when a check fails; the last line is "N passed, N failed".
set -u

here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
server_pid=""
client_pid=""
passed=0
failed=0

cleanup() {
    local p
    for p in $client_pid $server_pid; do
        if kill -0 "$p" 2>/dev/null; then
            kill "$p" 2>/dev/null
            for _ in $(seq 30); do kill -0 "$p" 2>/dev/null || break; sleep 0.1; done
            kill -9 "$p" 2>/dev/null
        fi
    done
    rm -rf "$work"
}
trap cleanup EXIT

pass() { passed=$((passed + 1)); echo "PASS $1"; }
fail() { failed=$((failed + 1)); echo "FAIL $1${2:+: $2}"; }
finish() {
    echo "$passed passed, $failed failed"
    [ "$failed" = 0 ]
    exit
}

# --- certificates -----------------------------------------------------------
export FENNIX_CACHE=$work/cache
ca=$FENNIX_CACHE/ca
if "$here/make-ca.sh" --no-install >"$work/make-ca.out" 2>&1; then
    pass "make-ca creates the CA and the server certificate"
else
    fail "make-ca creates the CA and the server certificate" "$(tail -3 "$work/make-ca.out")"
    finish
fi
before=$(cat "$ca"/*.crt "$ca"/*.key | sha256sum)
again=$("$here/make-ca.sh" --no-install 2>&1)
if [ -z "$again" ] && [ "$before" = "$(cat "$ca"/*.crt "$ca"/*.key | sha256sum)" ]; then
    pass "make-ca is idempotent"
else
    fail "make-ca is idempotent" "$again"
fi

leaf=$(openssl x509 -in "$ca/server.crt" -noout -text)
root=$(openssl x509 -in "$ca/ca.crt" -noout -text)
cert_fail=""
for want in "Public-Key: (2048 bit)" "Signature Algorithm: sha256WithRSAEncryption" "CA:FALSE" \
            "TLS Web Server Authentication" "DNS:localhost" "IP Address:127.0.0.1"; do
    grep -qF "$want" <<<"$leaf" || cert_fail="$cert_fail leaf lacks '$want';"
done
grep -qF "CA:TRUE" <<<"$root" || cert_fail="$cert_fail CA lacks CA:TRUE;"
not_before=$(date -d "$(openssl x509 -in "$ca/server.crt" -noout -startdate | cut -d= -f2)" +%s)
not_after=$(date -d "$(openssl x509 -in "$ca/server.crt" -noout -enddate | cut -d= -f2)" +%s)
now=$(date +%s)
[ $((now - not_before)) -ge 80000 ] || cert_fail="$cert_fail validity does not start a day back;"
[ $((not_after - now)) -ge $((2 * 365 * 86400)) ] || cert_fail="$cert_fail validity shorter than two years;"
openssl verify -CAfile "$ca/ca.crt" -purpose sslserver "$ca/server.crt" >/dev/null 2>&1 ||
    cert_fail="$cert_fail leaf does not verify;"
if [ -z "$cert_fail" ]; then pass "certificate profile"; else fail "certificate profile" "$cert_fail"; fi

# --- server -----------------------------------------------------------------
mkdir -p "$work/files/sub"
printf 'image-bytes' >"$work/files/pic.png"
printf 'nested' >"$work/files/sub/n.bin"
echo '{}' >"$work/scenario.json"

python3 "$here/server.py" --scenario "$work/scenario.json" --log "$work/requests.jsonl" \
    --port 0 --extra-port 0 --extra-port 0:tls --pid-file "$work/server.pid" \
    --cert "$ca/server.crt" --key "$ca/server.key" >"$work/stdout" 2>"$work/stderr" &
server_pid=$!
for _ in $(seq 100); do
    grep -q '^ready ' "$work/stdout" 2>/dev/null && break
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.05
done
if ! grep -q '^ready ' "$work/stdout"; then
    fail "server prints its ready line" "$(tail -3 "$work/stderr")"
    finish
fi
pass "server prints its ready line"
if [ "$(cat "$work/server.pid" 2>/dev/null)" = "$server_pid" ]; then
    pass "pid file holds the server's pid"
else
    fail "pid file holds the server's pid"
fi
read -r _ main_url plain_url tls_url <"$work/stdout"
main_port=${main_url##*:} plain_port=${plain_url##*:} tls_port=${tls_url##*:}

python3 - "$work" "$main_port" "$plain_port" "$tls_port" "$server_pid" >"$work/checks.out" 2>&1 <<'PY'
import base64, json, os, signal, socket, ssl, sys, time

work, main_port, plain_port, tls_port, server_pid = sys.argv[1], *map(int, sys.argv[2:])
CTX = ssl.create_default_context(cafile=os.path.join(work, "cache", "ca", "ca.crt"))
LOG = os.path.join(work, "requests.jsonl")
CONFIG = {"l": "US", "f": {"a": "a", "m": 3}, "o": []}
PATTERN = bytes(i % 256 for i in range(100000))


def write_scenario(scenario):
    tmp = os.path.join(work, "scenario.tmp")
    with open(tmp, "w") as f:
        json.dump(scenario, f)
    os.replace(tmp, os.path.join(work, "scenario.json"))


SCENARIO = {
    "config": CONFIG,
    "files": "files",
    "routes": [
        {"path": "/seq", "statuses": [500, 500, 200], "body": "seq"},
        {"path": "/q?x=1", "body": "exact"},
        {"path": "/q", "body": "plain"},
        {"path": "/chain", "redirect": {"to": "/f/pic.png", "hops": 6,
                                        "status": [301, 302, 303, 307], "absolute": "alternate"}},
        {"path": "/short", "body_size": 1000, "fault": "short"},
        {"path": "/short-reset", "body_size": 1000, "fault": "short", "send_bytes": 500, "abort": "reset"},
        {"path": "/nolen", "body": "abcdef", "fault": "no_length"},
        {"path": "/drop", "fault": "drop"},
        {"path": "/hang", "fault": "hang", "hang_seconds": 1},
        {"path": "/hang-body", "body_size": 1000, "fault": "hang", "send_bytes": 300, "hang_seconds": 1},
        {"path": "/reset", "fault": "reset"},
        {"path": "/slow", "body_size": 50, "fault": "slow", "chunk_bytes": 10, "interval": 0.1},
        {"path": "/slow-long", "body_size": 100000, "fault": "slow", "chunk_bytes": 100, "interval": 0.2},
        {"path": "/err404", "status": 404, "fault": "html"},
        {"path": "/err200", "fault": "html"},
        {"path": "/gen", "body_size": 100000},
        {"path": "/hdrs", "headers": [["X-B", "2"], ["X-A", "1"]], "body": {"k": "v"}},
        {"path": "/only-tls2", "port": tls_port, "body": "second tls port"},
        {"path": "/nocontent", "status": 204},
        {"path": "/cont", "body": "after continue"},
    ],
}
write_scenario(SCENARIO)


class Resp:
    def __init__(self, status, headers, body, interim, complete):
        self.status, self.headers, self.body = status, headers, body
        self.interim, self.complete = interim, complete

    def header(self, name):
        for k, v in self.headers:
            if k.lower() == name.lower():
                return v
        return None


class Conn:
    def __init__(self, port=main_port, tls=True, host="localhost"):
        sock = socket.create_connection(("127.0.0.1", port), timeout=5)
        self.sock = CTX.wrap_socket(sock, server_hostname=host, suppress_ragged_eofs=False) if tls else sock
        self.port = port
        self.buf = b""

    def close(self):
        self.sock.close()

    def fill(self):
        try:
            data = self.sock.recv(65536)
        except ssl.SSLEOFError as e:
            raise ConnectionAbortedError(str(e)) from e
        if not data:
            raise EOFError
        self.buf += data

    def line(self):
        while b"\r\n" not in self.buf:
            self.fill()
        line, self.buf = self.buf.split(b"\r\n", 1)
        return line.decode("latin-1")

    def send(self, method, path, headers=None, body=b"", host=True):
        head = [f"{method} {path} HTTP/1.1"]
        if host:
            head.append(f"Host: localhost:{self.port}")
        for k, v in headers or []:
            head.append(f"{k}: {v}")
        if body and not any(k.lower() in ("content-length", "transfer-encoding") for k, _ in headers or []):
            head.append(f"Content-Length: {len(body)}")
        self.sock.sendall(("\r\n".join(head) + "\r\n\r\n").encode("latin-1") + body)

    def response(self, head=False):
        interim = []
        while True:
            status = int(self.line().split()[1])
            headers = []
            while True:
                line = self.line()
                if not line:
                    break
                k, _, v = line.partition(":")
                headers.append((k, v.strip()))
            if status >= 200:
                break
            interim.append(status)
        resp = Resp(status, headers, b"", interim, True)
        length = resp.header("Content-Length")
        if head or status in (204, 304):
            return resp
        if length is not None:
            n = int(length)
            try:
                while len(self.buf) < n:
                    self.fill()
            except EOFError:
                resp.complete = False
            resp.body, self.buf = self.buf[:n], self.buf[n:]
        else:
            try:
                while True:
                    self.fill()
            except EOFError:
                pass
            resp.body, self.buf = self.buf, b""
        return resp


def get(path, method="GET", port=main_port, tls=True, **kw):
    c = Conn(port, tls)
    try:
        c.send(method, path, **kw)
        return c.response(head=method == "HEAD")
    finally:
        c.close()


def log_entries(path_prefix):
    with open(LOG) as f:
        entries = [json.loads(line) for line in f]
    return [e for e in entries if e["path"].startswith(path_prefix)]


def expect(cond, msg):
    if not cond:
        raise AssertionError(msg)


CHECKS = []


def check(name):
    def register(fn):
        CHECKS.append((name, fn))
        return fn
    return register


@check("/o answers the scenario configuration")
def _():
    r = get("/o", "POST", body=b'{"a":"Quorvane"}')
    expect(r.status == 200, r.status)
    expect(r.header("Content-Type") == "application/json", r.header("Content-Type"))
    expect(json.loads(r.body) == CONFIG, r.body)


@check("/qdd answers 200 with an empty body")
def _():
    r = get("/qdd", "POST", body=b'{"data":"{}","table":"qd_analytics"}')
    expect((r.status, r.body, r.header("Content-Length")) == (200, b"", "0"), (r.status, r.body))


@check("/f/ serves the scenario's folder and nothing outside it")
def _():
    cases = [("/f/pic.png", 200, b"image-bytes", "image/png"), ("/f/sub/n.bin", 200, b"nested", None),
             ("/f/missing.png", 404, None, None), ("/f/../scenario.json", 404, None, None),
             ("/f/%2e%2e/scenario.json", 404, None, None), ("/f/", 404, None, None)]
    for path, status, body, ctype in cases:
        r = get(path)
        expect(r.status == status, f"{path}: {r.status}")
        expect(body is None or r.body == body, f"{path}: {r.body!r}")
        expect(ctype is None or r.header("Content-Type") == ctype, f"{path}: {r.header('Content-Type')}")


@check("status sequence 500, 500, 200, then the last repeats")
def _():
    got = [get("/seq").status for _ in range(4)]
    expect(got == [500, 500, 200, 200], got)


@check("SIGHUP starts sequences over")
def _():
    os.kill(server_pid, signal.SIGHUP)
    time.sleep(0.2)
    got = [get("/seq").status for _ in range(3)]
    expect(got == [500, 500, 200], got)


@check("exact path+query route wins over the path alone")
def _():
    cases = [("/q?x=1", b"exact"), ("/q?x=2", b"plain"), ("/q", b"plain")]
    for path, body in cases:
        r = get(path)
        expect(r.body == body, f"{path}: {r.body!r}")


@check("redirect chain of six, relative and absolute Location")
def _():
    path, statuses, kinds = "/chain", [], []
    for _ in range(10):
        r = get(path)
        if r.status < 300 or r.status > 399:
            break
        statuses.append(r.status)
        loc = r.header("Location")
        kinds.append("abs" if loc.startswith("https://") else "rel")
        expect(not loc.startswith("https://") or loc.startswith(f"https://localhost:{main_port}/"), loc)
        path = loc.split(f":{main_port}", 1)[-1]
    expect(statuses == [301, 302, 303, 307, 301, 302], statuses)
    expect(kinds == ["abs", "rel"] * 3, kinds)
    expect((r.status, r.body) == (200, b"image-bytes"), (r.status, r.body))


@check("faults: short body, no Content-Length, dropped and reset connections")
def _():
    # How a response ends: "eof" is a clean close (with close_notify over TLS),
    # "reset" a TCP reset, "abort" over TLS a reset or a close without close_notify.
    # path, status (None: no response), body received, Content-Length, end on plain, end on TLS
    cases = [
        ("/short", 200, PATTERN[:999], "1000", "eof", "eof"),
        ("/short-reset", 200, None, "1000", "reset", "abort"),
        ("/nolen", 200, b"abcdef", None, "eof", "eof"),
        ("/drop", None, None, None, "eof", "abort"),
        ("/reset", None, None, None, "reset", "abort"),
    ]
    for path, status, body, length, plain_end, tls_end in cases:
        for port, tls, ending in [(plain_port, False, plain_end), (main_port, True, tls_end)]:
            where = f"{path} on {'TLS' if tls else 'plain'}"
            c = Conn(port, tls)
            r = None
            try:
                c.send("GET", path)
                r = c.response()
                c.fill()   # the server must close after these responses
                how = "open"
            except EOFError:
                how = "eof"
            except ConnectionResetError:
                how = "abort" if tls else "reset"
            except ConnectionAbortedError:
                how = "abort"
            finally:
                c.close()
            expect(how == ending, f"{where}: ended with {how}")
            if status is None:
                expect(r is None, f"{where}: got a response")
            elif r is not None:
                expect(r.status == status, f"{where}: status {r.status}")
                expect(body is None or r.body == body, f"{where}: {len(r.body)} bytes")
                expect(r.header("Content-Length") == length, f"{where}: Content-Length {r.header('Content-Length')}")
                expect(r.complete == (length is None), f"{where}: complete={r.complete}")
                expect(length is not None or r.header("Connection") == "close", f"{where}: no Connection: close")
            else:
                expect(ending != "eof", f"{where}: no response")


@check("slow body arrives whole, chunk by chunk")
def _():
    t = time.monotonic()
    r = get("/slow")
    elapsed = time.monotonic() - t
    expect(r.body == PATTERN[:50] and r.complete, len(r.body))
    expect(0.35 <= elapsed < 3, elapsed)


@check("a client leaving in the middle of a slow body does not stall the server")
def _():
    c = Conn()
    c.send("GET", "/slow-long")
    while b"\r\n\r\n" not in c.buf:
        c.fill()
    c.close()
    t = time.monotonic()
    r = get("/qdd")
    expect(r.status == 200 and time.monotonic() - t < 1, time.monotonic() - t)


@check("hang: silence after the request or inside the body, ended by the server's own limit")
def _():
    # path, status (None: nothing answered), body bytes before the silence
    for path, status, sent in [("/hang", None, b""), ("/hang-body", 200, PATTERN[:300])]:
        c = Conn()
        c.sock.settimeout(10)
        try:
            c.send("GET", path)
            t = time.monotonic()
            try:
                while True:
                    c.fill()
            except (EOFError, ConnectionAbortedError, ConnectionResetError):
                pass
            elapsed = time.monotonic() - t
        finally:
            c.close()
        expect(0.8 <= elapsed < 5, f"{path}: held {elapsed:.2f} s")
        head, _, body = c.buf.partition(b"\r\n\r\n")
        if status is None:
            expect(c.buf == b"", f"{path}: {c.buf[:40]!r}")
        else:
            expect(head.startswith(b"HTTP/1.1 200") and b"Content-Length: 1000" in head, head)
            expect(body == sent, f"{path}: {len(body)} body bytes")
        entry = log_entries(path)[-1]
        expect((entry["status"], entry["fault"]) == (status, "hang"), entry)


@check("HTML error pages with 404 and 200")
def _():
    for path, status in [("/err404", 404), ("/err200", 200)]:
        r = get(path)
        expect(r.status == status, f"{path}: {r.status}")
        expect(r.header("Content-Type").startswith("text/html"), r.header("Content-Type"))
        expect(b"<html>" in r.body and str(status).encode() in r.body, r.body)


@check("generated body, HEAD and 204")
def _():
    r = get("/gen")
    expect(r.body == PATTERN and r.header("Content-Length") == "100000", len(r.body))
    r = get("/gen", "HEAD")
    expect(r.status == 200 and r.header("Content-Length") == "100000" and r.body == b"", r.status)
    r = get("/nocontent")
    expect(r.status == 204 and r.header("Content-Length") is None, r.headers)


@check("route headers go out in the given order")
def _():
    r = get("/hdrs")
    names = [k for k, _ in r.headers]
    expect(names.index("X-B") < names.index("X-A"), names)
    expect(json.loads(r.body) == {"k": "v"} and r.header("Content-Type") == "application/json", r.body)


@check("keep-alive: two requests on one connection")
def _():
    c = Conn()
    try:
        c.send("GET", "/q?ka=1")
        first = c.response()
        c.send("POST", "/qdd?ka=2", body=b"x")
        second = c.response()
    finally:
        c.close()
    expect((first.status, second.status) == (200, 200), (first.status, second.status))
    a, b = log_entries("/q?ka=1")[-1], log_entries("/qdd?ka=2")[-1]
    expect(a["conn"] == b["conn"] and (a["seq"], b["seq"]) == (1, 2), (a["conn"], b["conn"], a["seq"], b["seq"]))


@check("request log keeps header order and case, query and raw body")
def _():
    body = b'{"data":"x"}\xff\x00\x80'
    headers = [("Host", "localhost"), ("Authorization", "Signature=ab12"), ("Expect", "100-continue"),
               ("Content-Type", "application/json"), ("x-lower", "1"), ("X-Dup", "a"), ("X-Dup", "b"),
               ("Content-Length", str(len(body)))]
    c = Conn()
    try:
        c.send("POST", "/qdd?k=v&t=log", headers=headers, body=body, host=False)
        r = c.response()
    finally:
        c.close()
    expect(r.status == 200 and not r.interim, (r.status, r.interim))
    e = log_entries("/qdd?k=v&t=log")[-1]
    expect(e["method"] == "POST" and e["version"] == "HTTP/1.1", (e["method"], e["version"]))
    expect([tuple(h) for h in e["headers"]] == headers, e["headers"])
    expect(base64.b64decode(e["body_b64"]) == body and e["body_len"] == len(body), e["body_b64"])
    expect(e["body_text"] is None and e["port"] == main_port and e["tls"] is True, e)
    expect(e["status"] == 200 and e["route"] == "(default)", (e["status"], e["route"]))


@check("chunked request body is logged decoded")
def _():
    c = Conn()
    try:
        c.send("POST", "/qdd?t=chunked", headers=[("Transfer-Encoding", "chunked")],
               body=b"3\r\nabc\r\n2\r\nde\r\n0\r\n\r\n")
        r = c.response()
    finally:
        c.close()
    e = log_entries("/qdd?t=chunked")[-1]
    expect(r.status == 200 and e["body_text"] == "abcde", e["body_text"])


@check("Expect: 100-continue gets an interim 100 only when the scenario asks")
def _():
    for setting, interim in [(False, []), (True, [100])]:
        write_scenario(dict(SCENARIO, continue_100=setting))
        r = get("/cont", "POST", headers=[("Expect", "100-continue")], body=b"x")
        expect((r.status, r.interim, r.body) == (200, interim, b"after continue"), (setting, r.status, r.interim))
    write_scenario(SCENARIO)


@check("extra ports: plain HTTP and a second TLS port, per-port routes")
def _():
    r = get("/qdd?t=plain", "POST", port=plain_port, tls=False, body=b"p")
    e = log_entries("/qdd?t=plain")[-1]
    expect(r.status == 200 and e["port"] == plain_port and e["tls"] is False, (r.status, e["port"], e["tls"]))
    cases = [(tls_port, True, 200), (main_port, True, 404), (plain_port, False, 404)]
    for port, tls, status in cases:
        r = get("/only-tls2", port=port, tls=tls)
        expect(r.status == status, f"port {port}: {r.status}")


@check("certificate verifies for localhost and 127.0.0.1")
def _():
    for host in ("localhost", "127.0.0.1"):
        c = Conn(host=host)
        c.close()


@check("rewritten scenario is used without a restart")
def _():
    changed = dict(SCENARIO, config={"l": "DE", "f": {"m": 1}})
    write_scenario(changed)
    try:
        r = get("/o", "POST", body=b"{}")
        expect(json.loads(r.body)["l"] == "DE", r.body)
    finally:
        write_scenario(SCENARIO)


print(f"LISTED {len(CHECKS)}", flush=True)
for name, fn in CHECKS:
    try:
        fn()
        print(f"PASS {name}")
    except Exception as e:  # every failure becomes one line
        print(f"FAIL {name}: {type(e).__name__}: {e}")
PY
client_rc=$?
listed=""
ran=0
while IFS= read -r line; do
    case $line in
        "LISTED "*) listed=${line#LISTED } ;;
        "PASS "*) ran=$((ran + 1)); pass "${line#PASS }" ;;
        "FAIL "*) ran=$((ran + 1)); name=${line#FAIL }; fail "${name%%: *}" "${name#*: }" ;;
        *) echo "$line" ;;
    esac
done <"$work/checks.out"
# A client that dies, or stops before its last check, must not read as a clean run.
[ "$client_rc" = 0 ] && pass "the client ends cleanly" || fail "the client ends cleanly" "exit status $client_rc"
[ -n "$listed" ] && [ "$ran" = "$listed" ] && pass "the client runs every check it lists" ||
    fail "the client runs every check it lists" "${listed:-no} listed, $ran run"

# --- shutdown ---------------------------------------------------------------
# A client in the middle of a long slow body must not hold the server up.
python3 - "$main_port" "$ca/ca.crt" <<'PY' &
import socket, ssl, sys
ctx = ssl.create_default_context(cafile=sys.argv[2])
s = ctx.wrap_socket(socket.create_connection(("127.0.0.1", int(sys.argv[1])), timeout=10),
                    server_hostname="localhost")
s.sendall(b"GET /slow-long HTTP/1.1\r\nHost: localhost\r\n\r\n")
try:
    while s.recv(65536):
        pass
except OSError:
    pass
PY
client_pid=$!
sleep 0.5
kill -TERM "$server_pid"
stopped=""
for _ in $(seq 50); do
    kill -0 "$server_pid" 2>/dev/null || { stopped=1; break; }
    sleep 0.1
done
if [ -n "$stopped" ]; then
    wait "$server_pid"
    rc=$?
    [ "$rc" = 0 ] && pass "SIGTERM stops the server during a transfer" ||
        fail "SIGTERM stops the server during a transfer" "exit status $rc"
else
    fail "SIGTERM stops the server during a transfer" "still running after 5 s"
fi
[ ! -e "$work/server.pid" ] && pass "pid file removed on shutdown" || fail "pid file removed on shutdown"
for _ in $(seq 30); do kill -0 "$client_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$client_pid" 2>/dev/null && fail "client released on shutdown" || pass "client released on shutdown"
refused=1
for port in "$main_port" "$plain_port" "$tls_port"; do
    if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then refused=""; fi
done
[ -n "$refused" ] && pass "no port left listening" || fail "no port left listening"

if grep -q 'Traceback' "$work/stderr"; then
    fail "server stderr has no tracebacks" "$(grep -m1 -A5 Traceback "$work/stderr")"
else
    pass "server stderr has no tracebacks"
fi
finish
