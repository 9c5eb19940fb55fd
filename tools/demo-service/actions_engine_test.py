"""Pages for the browser engine's end-to-end tests, under /engine/."""

from demo_service import Response

PAGE = """<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>Engine page</title>
<script src="/engine/script.js"></script>
</head>
<body>
<h1>Hello engine</h1>
<p>Plain text of the demo page, painted by the host window.</p>
<a href="/engine/second" target="_blank">Open in a new tab</a>
<button onclick="window.open('/engine/second?from=button')">Pop-up</button>
<a href="/engine/second">Same window</a>
<script>
console.log('inline script', document.title);
console.error('an error line');
</script>
</body></html>
"""

SECOND = """<!DOCTYPE html>
<html><head><title>Second page</title></head><body><p>The second page.</p></body></html>
"""

BRIDGE = """<!DOCTYPE html>
<html><head><title>Bridge</title></head><body><p>Bridge page</p>
<script>
var sent = probeCall('hello from page', function (value) { console.log('reply ' + value); });
console.log('probeCall returned ' + sent);
probeNow(function (text) { console.log('called back ' + text + ' during the call'); });
try { probeCall(1); } catch (e) { console.log('caught ' + e.message); }
probeTypes(1, -5, 2.5, '1', function () {}, undefined, null, true, [1, 2], {}, 4294967295,
           2147483648, -0);
</script>
</body></html>
"""

TIMERS = """<!DOCTYPE html>
<html><head><title>Timers</title></head><body><p>Timers</p>
<script>
var n = 0;
var id = setInterval(function () {
  n++;
  if (n == 3) { clearInterval(id); console.log('interval done ' + n); }
}, 10);
setTimeout(function () { console.log('timeout fired after the interval'); }, 400);
setTimeout("console.log('string timer')", 0);
var cancelled = setTimeout(function () { console.log('cancelled timer fired'); }, 50);
clearTimeout(cancelled);
window.onload = function () { console.log('onload'); };
setTimeout(function () { document.title = 'Timers done'; }, 500);
</script>
</body></html>
"""

BROKEN = """<!DOCTYPE html>
<html><head><title>Broken scripts</title>
<script src="/engine/missing.js"></script>
<script>var x = ;</script>
<script>
throw new Error('boom');
</script>
<script>console.log('still running');</script>
</head><body><p>Broken &amp; alive</p></body></html>
"""

UNICODE = """<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>直播大厅</title></head>
<body><p>欢迎</p><script>console.log('中文 ' + document.title.length);</script></body></html>
"""


def register(service):
    service.route("/engine/page", lambda request: Response(PAGE))
    service.route("/engine/second", lambda request: Response(SECOND))
    service.route("/engine/bridge", lambda request: Response(BRIDGE))
    service.route("/engine/timers", lambda request: Response(TIMERS))
    service.route("/engine/broken", lambda request: Response(BROKEN))
    service.route("/engine/unicode", lambda request: Response(UNICODE))
    service.route("/engine/script.js", lambda request: Response(
        "console.log('external script', location.href);\n",
        content_type="application/javascript"))
    service.route("/engine/redirect", lambda request: Response(
        "", status=302, headers={"Location": "/engine/second"}))
    service.route("/engine/slow", lambda request: Response(
        SECOND, delay=float(request.query.get("delay", "4"))))
