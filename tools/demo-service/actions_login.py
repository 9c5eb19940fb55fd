"""The service's entry page: "gameLogin.action", the live hall (the first page the client opens).

The hall says what it is, shows the login option it was opened with and links to the live rooms
("liveRoom.action", actions_liveroom.py).

Switch: hall_script — a script text run on the hall page once it has loaded (tests use it to
navigate, open windows or go full-screen from inside the page).
"""

import html
from urllib.parse import quote

from demo_service import Response

LIVE_ROOMS = [(1001, "Arena finals"), (1002, "Night raid"), (1003, "Beginners' corner")]


def register(service):
    def game_login(request):
        opt = request.query.get("opt", "")
        edition = 0 if request.local_address == "127.0.0.1" else 1
        rooms = "\n".join(
            f'<p><a href="liveRoom.action?room={number}&amp;opt={html.escape(quote(opt))}">'
            f"Live room {number}: {html.escape(title)}</a></p>"
            for number, title in LIVE_ROOMS)
        script = service.switch("hall_script")
        script_tag = ""
        if script:
            script_tag = f"<script>setTimeout(function () {{ {script} }}, 300);</script>"
        return Response(f"""<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>Zarvik live hall</title></head>
<body>
<h1>Welcome to the live hall</h1>
<p>This is the live hall of the demo service, edition {edition}: the page the client opens first.
Pick a live room to watch it; inside a room the title band offers the small view.</p>
<p>Signed in with login option: {html.escape(opt)}</p>
{rooms}
{script_tag}
</body></html>
""")

    service.route("/gameLogin.action", game_login)
