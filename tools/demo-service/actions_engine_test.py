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
</script>
</body></html>
"""


def register(service):
    service.route("/engine/page", lambda request: Response(PAGE))
    service.route("/engine/second", lambda request: Response(SECOND))
    service.route("/engine/bridge", lambda request: Response(BRIDGE))
    service.route("/engine/script.js", lambda request: Response(
        "console.log('external script', location.href);\n",
        content_type="application/javascript"))
    service.route("/engine/redirect", lambda request: Response(
        "", status=302, headers={"Location": "/engine/second"}))
    service.route("/engine/slow", lambda request: Response(
        SECOND, delay=float(request.query.get("delay", "4"))))
