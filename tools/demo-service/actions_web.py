"""The service's update switch and permission queries, and the content network's scheduler.

    getZarvikSwitch.action   JSON {"status":0,"msg":"","switch":false} unless switched
    isZarvikAllow.action     JSON {"status":0,"msg":"","isAllow":false} unless switched
    /  with a WS_URL header  the streaming-node scheduler: three node lines for the stream

Switches (DemoService.set_switches in the tests), <key> being "switch", "allow" or "scheduler":
    <key>_reply    the body: a JSON value (sent as JSON) or a text (sent as it is)
    <key>_status   the HTTP status (default 200)
    <key>_delay    seconds to stall before answering
    scheduler_fail_next   the next N scheduler requests get an empty body (counts down)
"""

import json

from demo_service import Response


def scripted(service, key, default_reply, content_type="application/json"):
    """The answer of one action, as the test switched it."""
    reply = service.switch(key + "_reply", default_reply)
    if not isinstance(reply, str):
        reply = json.dumps(reply)
    return Response(reply, status=int(service.switch(key + "_status", 200)),
                    content_type=content_type, delay=float(service.switch(key + "_delay", 0)))


def take_one(service, name):
    """Counts a switch down by one; True while it was above zero."""
    with service.lock:
        left = int(service.switches.get(name, 0) or 0)
        if left > 0:
            service.switches[name] = left - 1
        return left > 0


def register(service):
    def update_switch(request):
        return scripted(service, "switch", {"status": 0, "msg": "", "switch": False})

    def update_permission(request):
        return scripted(service, "allow", {"status": 0, "msg": "", "isAllow": False})

    def scheduler(request):
        ws_url = request.headers.get("WS_URL")
        if ws_url is None:
            return Response("<!DOCTYPE html><html><body><p>Zarvik demo service</p></body></html>")
        if take_one(service, "scheduler_fail_next"):
            return Response("", content_type="text/plain")
        # Three edge nodes on this demo service, each serving the requested pull URL.
        nodes = "".join(f"http://127.0.0.1:{service.port}/node{i}/{ws_url}\n" for i in (1, 2, 3))
        return scripted(service, "scheduler", nodes, content_type="text/plain")

    service.route("/getZarvikSwitch.action", update_switch)
    service.route("/isZarvikAllow.action", update_permission)
    service.route("/", scheduler)
