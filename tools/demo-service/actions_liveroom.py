"""A live room of the demo service: "liveRoom.action?room=N", linked from the live hall.

The page drives the client through all nine script functions and registers the four callbacks the
client calls, writing everything it sees with console.log (which lands in the engine's log
"browser.log"). On load it tells the client that the live room was entered (EnterLiveRoom) and
asks for the stream's node; its buttons join and leave the voice channel, change the background
and leave the room; its link back to the hall leaves the room first (LeaveLiveRoom).

    liveRoom.action   the page; query:
        room            the live room, also the voice channel's number (default 1001)
        opt             the login option, passed on to the hall link
        uid, key        the voice channel's user and key (default 42, "demo-key")
        stream          the stream whose node the page asks for on load (default "room<room>")
        tag             the mark in front of every console line (default "room")
        register=0      the page registers no callbacks
        cases=1         on load, every function is called with good and bad arguments (the
                        bridge tests read the console lines), instead of the demo's calls

Console lines: "[tag] bound ...", "[tag] attrs NAME ...", "[tag] case LABEL returned TYPE",
"[tag] result LABEL n=COUNT type:value,...", "[tag] callback NAME n=COUNT type:value,...".
"""

import html
import json
from urllib.parse import quote

from demo_service import Response

SCRIPT = r"""
var TAG = %(tag)s;
var ROOM = {cid: %(cid)s, uid: %(uid)s, key: %(key)s, stream: %(stream)s};
var NAMES = ['ExitLiveHall', 'EnterLiveRoom', 'LeaveLiveRoom', 'GetWsNgbNode', 'JoinChannel',
             'LeaveChannel', 'registerJSFunction', 'ChangeBackground', 'Login'];

function show(text) {
  console.log('[' + TAG + '] ' + text);
  document.title = 'Live room: ' + text.substring(0, 80);
}
function describe(args) {
  var parts = [];
  for (var i = 0; i < args.length; i++)
    parts.push(typeof args[i] + ':' + String(args[i]).substring(0, 200));
  return 'n=' + args.length + (parts.length ? ' ' + parts.join(',') : '');
}
// A callback that reports what it received under a label.
function reporter(label) {
  return function () { show('result ' + label + ' ' + describe(arguments)); };
}
function registerCallbacks(prefix) {
  ['closeMic', 'changeWindowSize', 'changeWindowMode', 'browseHistory'].forEach(function (name) {
    registerJSFunction(name, function () {
      show('callback ' + name + (prefix || '') + ' ' + describe(arguments));
    });
  });
}
function bindingReport() {
  var keys = Object.keys(window).filter(function (k) { return NAMES.indexOf(k) >= 0; });
  show('bound ' + keys.join(','));
  NAMES.forEach(function (name) {
    var d = Object.getOwnPropertyDescriptor(window, name);
    show('attrs ' + name + ' ' + (d ? typeof d.value + ' w=' + (d.writable ? 1 : 0) +
         ' e=' + (d.enumerable ? 1 : 0) + ' c=' + (d.configurable ? 1 : 0) : 'missing'));
  });
}
function run(label, call) {
  try {
    var value = call();
    show('case ' + label + ' returned ' + typeof value);
  } catch (e) {
    show('case ' + label + ' threw ' + e);
  }
}

// Every function with the arguments it wants and with arguments it must shrug off.
function runCases() {
  var bigKey = '\u4e2d' + new Array(1024 * 1024).join('k') + 'Z';  // 1 MB of key
  var longestKey = '\u4e2d' + new Array(65536 - 5).join('k') + 'Z';  // the longest text sent
  var odd = [[], [null], [undefined, undefined], [{}, [], function () {}], [true, 'x', 1.5],
             [null, null, null, null], [NaN, Infinity, -0, '']];
  run('exit-live-hall', function () { return ExitLiveHall(1, 2); });
  run('login', function () { return Login('user', 'secret'); });
  run('enter-live-room', function () { return EnterLiveRoom({room: 1}); });
  run('join-3-args', function () { return JoinChannel(1, 2, 'k'); });
  run('join-text-cid', function () { return JoinChannel('1', 2, 'k', reporter('join-text-cid')); });
  run('join-fraction', function () { return JoinChannel(1.5, 2, 'k', reporter('join-fraction')); });
  run('join-no-callback', function () { return JoinChannel('x', 2, 'k', 5); });
  run('join-at-key', function () { return JoinChannel(-5, 7, 'a@b', reporter('join-at-key')); });
  run('join-extra', function () {
    return JoinChannel(12345, 678, '', reporter('join-extra'), 'extra');
  });
  run('join-big-key', function () { return JoinChannel(1, 2, bigKey, reporter('join-big-key')); });
  run('join-longest-key', function () {
    return JoinChannel(1, 2, longestKey, reporter('join-longest-key'));
  });
  run('join-unicode', function () {
    return JoinChannel(3, 4, '\u9891\u9053', reporter('join-unicode'));
  });
  run('node-one-arg', function () { return GetWsNgbNode('s'); });
  run('node-not-function', function () { return GetWsNgbNode('s', 5); });
  run('node-number-name', function () { return GetWsNgbNode(5, reporter('node-number-name')); });
  run('node', function () { return GetWsNgbNode('room42', reporter('node')); });
  run('node-unicode', function () {
    return GetWsNgbNode('\u623f\u95f4', reporter('node-unicode'));
  });
  run('background-fraction', function () { return ChangeBackground(2.5); });
  run('background-two', function () { return ChangeBackground(1, 2); });
  run('background-text', function () { return ChangeBackground('3'); });
  run('background-minus-one', function () { return ChangeBackground(-1); });
  run('background-seven', function () { return ChangeBackground(7); });
  run('register-one-arg', function () { return registerJSFunction('closeMic'); });
  run('register-not-function', function () { return registerJSFunction('closeMic', 5); });
  NAMES.forEach(function (name) {
    if (name === 'LeaveLiveRoom')
      return;  // it would empty the registry
    odd.forEach(function (args, i) {
      run('odd-' + name + '-' + i, function () { return window[name].apply(null, args); });
    });
  });
  run('leave-channel', function () { return LeaveChannel('anything'); });
  show('cases done');
}

function demo() {
  if (typeof EnterLiveRoom !== 'function') {
    show('opened outside the client: no client functions');
    return;
  }
  EnterLiveRoom();
  show('entered live room ' + ROOM.cid);
  GetWsNgbNode(ROOM.stream, function (node) {
    show('stream node for ' + ROOM.stream + ': ' + node.split('\n')[0]);
  });
}

function joinVoice() {
  JoinChannel(ROOM.cid, ROOM.uid, ROOM.key, function (code) {
    show('JoinChannel ' + ROOM.cid + '@' + ROOM.uid + ' answered ' + code);
  });
}
var background = 0;
function nextBackground() {
  background = (background + 1) %% 3;
  ChangeBackground(background);
  show('background ' + background);
}
function leaveVoice() { LeaveChannel(); show('left the voice channel'); }
function leaveRoom() { LeaveLiveRoom(); show('left the live room; callbacks cleared'); }
// The round trip of a join as the page sees it, for the bridge benchmark.
function benchJoin(count) {
  var start = Date.now();
  for (var i = 0; i < count; i++)
    JoinChannel(1, 2, 'bench', function () {});
  show('bench join n=' + count + ' total_ms=' + (Date.now() - start));
}
function askNode() { GetWsNgbNode(ROOM.stream, reporter('node ' + ROOM.stream)); }

bindingReport();
if (%(register)s)
  registerCallbacks();
if (%(cases)s)
  runCases();
else
  demo();
"""

PAGE = """<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>Zarvik live room {cid}</title></head>
<body>
<h1>Zarvik live room {cid}</h1>
<p>This is live room {cid} of the demo service: stream {stream}, voice channel {cid} as user
{uid}. The title band's view-mode button switches to the small view and back. What the page does
and hears is written to the console (browser.log).</p>
<button onclick="joinVoice()">Join the voice channel</button>
<button onclick="leaveVoice()">Leave the voice channel</button>
<button onclick="askNode()">Ask for a stream node</button>
<button onclick="nextBackground()">Change the background</button>
<button onclick="leaveRoom()">Leave the live room</button>
<p><a href="gameLogin.action?opt={opt}" onclick="if (window.LeaveLiveRoom) LeaveLiveRoom();">Back to the live hall</a></p>
<script>{script}</script>
</body></html>
"""


def int_or(text, default):
    try:
        return int(text)
    except (TypeError, ValueError):
        return default


def register(service):
    def live_room(request):
        q = request.query
        cid = int_or(q.get("room"), 1001)
        uid = int_or(q.get("uid"), 42)
        stream = q.get("stream", f"room{cid}")
        script = SCRIPT % {
            "tag": json.dumps(q.get("tag", "room")),
            "cid": cid,
            "uid": uid,
            "key": json.dumps(q.get("key", "demo-key")),
            "stream": json.dumps(stream),
            "register": "false" if q.get("register") == "0" else "true",
            "cases": "true" if q.get("cases") == "1" else "false",
        }
        # Nothing in the script may end the script element early.
        script = script.replace("</", "<\\/")
        return Response(PAGE.format(cid=cid, uid=uid, stream=html.escape(stream),
                                    opt=html.escape(quote(q.get("opt", ""))), script=script))

    service.route("/liveRoom.action", live_room)
