"""A live room of the demo service: "liveRoom.action?room=N".

On load the page tells the client that a live room was entered (EnterLiveRoom, when the client
offers it), which shows the view-mode button; its link back to the hall leaves the room first
(LeaveLiveRoom).
"""

import html
from urllib.parse import quote

from demo_service import Response


def register(service):
    def live_room(request):
        room = request.query.get("room", "")
        opt = request.query.get("opt", "")
        return Response(f"""<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>Zarvik live room {html.escape(room)}</title></head>
<body>
<h1>Live room {html.escape(room)}</h1>
<p>This is live room {html.escape(room)} of the demo service. The stream plays here; the title
band's view-mode button switches to the small view and back.</p>
<p><a href="gameLogin.action?opt={html.escape(quote(opt))}" onclick="if (window.LeaveLiveRoom) LeaveLiveRoom();">Back to the live hall</a></p>
<script>if (window.EnterLiveRoom) EnterLiveRoom();</script>
</body></html>
""")

    service.route("/liveRoom.action", live_room)
