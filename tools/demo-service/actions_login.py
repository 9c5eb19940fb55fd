"""The service's entry page: "gameLogin.action" (the first page the client opens)."""

import html

from demo_service import Response


def register(service):
    def game_login(request):
        opt = request.query.get("opt", "")
        edition = 0 if request.local_address == "127.0.0.1" else 1
        return Response(f"""<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>Zarvik live hall</title></head>
<body>
<h1>Zarvik live hall</h1>
<p>Edition {edition}. Signed in with login option: {html.escape(opt)}</p>
</body></html>
""")

    service.route("/gameLogin.action", game_login)
