"""Web actions the game's commands reach through the client.

    syncGameUserInfo.action   JSON {"status":0,"msg":"ok"}; the client only logs it
    gameRoomRedirect.action   the live-room page of the room numbers

Every finished sync answer is written to <data dir>/sync-finished.jsonl with its query and the
time it was sent, so a test can tell that a second request only started after the first ended.

Switches: sync_reply, sync_status, sync_delay (as in actions_web: body, HTTP status, stall).
"""

import html
import json
import os
import time

from demo_service import Response


def register(service):
    def sync_game_user_info(request):
        reply = service.switch("sync_reply", {"status": 0, "msg": "ok"})
        if not isinstance(reply, str):
            reply = json.dumps(reply)
        # The stall happens here, so the finish time written below is when the answer went out.
        time.sleep(float(service.switch("sync_delay", 0)))
        line = json.dumps({"query": request.query_string, "finished": time.time()}) + "\n"
        with service.lock:
            with open(os.path.join(service.data_dir, "sync-finished.jsonl"), "a") as f:
                f.write(line)
        return Response(reply, status=int(service.switch("sync_status", 200)),
                        content_type="application/json")

    def game_room_redirect(request):
        high = request.query.get("roomNumberHigh", "")
        low = request.query.get("roomNumberLow", "")
        opt = request.query.get("opt", "")
        return Response(f"""<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>Zarvik live room {html.escape(high)}-{html.escape(low)}</title></head>
<body>
<h1>Live room {html.escape(high)}-{html.escape(low)}</h1>
<p>Opened from the game for login option: {html.escape(opt)}</p>
</body></html>
""")

    service.route("/syncGameUserInfo.action", sync_game_user_info)
    service.route("/gameRoomRedirect.action", game_room_redirect)
