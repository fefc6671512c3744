// The phone's page: pairs once, then lists the desktop's tabs and shows one
// live in a terminal of the desktop pane's size, scaled to the phone's
// width. What it draws arrives as VT bytes; what it types leaves as text for
// the desktop to type, only when the desktop allows control.
import { Terminal } from "@xterm/xterm";
import { WebglAddon } from "@xterm/addon-webgl";
import { Unicode11Addon } from "@xterm/addon-unicode11";

const TOKEN = "tolvar.token";
const $ = (id) => document.getElementById(id);
const sections = ["start", "pair", "code", "tabs", "view"];

function show(id) {
  for (const s of sections) $(s).hidden = s !== id;
}
function say(text) {
  $("message").textContent = text || "";
}

const state = { ws: null, control: false, tab: null, tabs: [], ctrl: false, alt: false };

const term = new Terminal({
  allowProposedApi: true,
  convertEol: false,
  disableStdin: true,
  scrollback: 1000,
  fontFamily: "ui-monospace, Menlo, Consolas, monospace",
  fontSize: 14,
});
term.loadAddon(new Unicode11Addon());
term.unicode.activeVersion = "11";
term.open($("terminal"));
try {
  const webgl = new WebglAddon();
  // A lost context (a phone backgrounding the page) falls back to the DOM.
  webgl.onContextLoss(() => webgl.dispose());
  term.loadAddon(webgl);
} catch {
  // No WebGL: the DOM renderer draws.
}
// Read by the tests, which compare the page's buffer with the desktop.
window.tolvarTerminal = term;

function fitWidth() {
  const inner = $("terminal");
  inner.style.transform = "";
  const natural = inner.scrollWidth || 1;
  const scale = Math.min(1, $("frame").clientWidth / natural);
  inner.style.transform = `scale(${scale})`;
  $("frame").style.height = `${inner.scrollHeight * scale}px`;
}
window.addEventListener("resize", fitWidth);

function send(message) {
  if (state.ws && state.ws.readyState === WebSocket.OPEN) state.ws.send(JSON.stringify(message));
}

function type(text) {
  if (!state.control || state.tab === null || !text) return;
  send({ type: "type", tab: state.tab, text });
}

function listTabs(tabs) {
  state.tabs = tabs;
  const list = $("tab-list");
  list.replaceChildren();
  for (const tab of tabs) {
    const item = document.createElement("li");
    const stripe = document.createElement("span");
    stripe.className = "stripe";
    stripe.style.background = tab.color || "transparent";
    const title = document.createElement("span");
    title.textContent = (tab.broadcast ? "◉ " : "") + tab.title;
    item.append(stripe, title);
    if (tab.group) {
      const group = document.createElement("span");
      group.className = "group";
      group.textContent = tab.group;
      item.append(group);
    }
    if (tab.ended) {
      const ended = document.createElement("span");
      ended.className = "ended";
      ended.textContent = "ended";
      item.append(ended);
    }
    item.addEventListener("click", () => open(tab));
    list.append(item);
  }
  if (state.tab === null) show("tabs");
}

function open(tab) {
  state.tab = tab.id;
  $("title").textContent = tab.title;
  term.reset();
  show("view");
  send({ type: "open", tab: tab.id });
}

function controls() {
  $("keys").hidden = !state.control;
  $("compose").hidden = !state.control;
  term.options.disableStdin = !state.control;
}

function onText(m) {
  switch (m.type) {
    case "code":
      $("digits").textContent = m.code;
      show("code");
      break;
    case "paired":
      localStorage.setItem(TOKEN, m.token);
      // The secret is spent: keep it out of the history and of bookmarks.
      history.replaceState(null, "", location.pathname);
      break;
    case "welcome":
      $("status").textContent = `Connected as ${m.name}`;
      $("fingerprint").textContent = m.fingerprint;
      state.control = m.control;
      controls();
      break;
    case "control":
      state.control = m.control;
      controls();
      break;
    case "tabs":
      listTabs(m.tabs);
      break;
    case "refused":
      if (/not paired|forgotten/.test(m.reason)) localStorage.removeItem(TOKEN);
      say(m.reason);
      break;
    case "error":
      say(m.reason);
      break;
  }
}

// [kind: 1 screen, 2 update][tab: u64][screen only: cols u16, rows u16][VT bytes]
function onBinary(buffer) {
  const view = new DataView(buffer);
  if (buffer.byteLength < 9) return;
  const kind = view.getUint8(0);
  const tab = Number(view.getBigUint64(1));
  if (tab !== state.tab) return;
  let at = 9;
  if (kind === 1) {
    if (buffer.byteLength < 13) return;
    const cols = view.getUint16(9), rows = view.getUint16(11);
    at = 13;
    term.reset();
    term.resize(cols, rows);
  } else if (kind !== 2) {
    return;
  }
  term.write(new Uint8Array(buffer, at), fitWidth);
}

function connect() {
  const ws = new WebSocket(`wss://${location.host}/socket`);
  ws.binaryType = "arraybuffer";
  state.ws = ws;
  ws.addEventListener("open", () => {
    const token = localStorage.getItem(TOKEN);
    const pairing = /^#pair=([A-Za-z0-9_-]{22})$/.exec(location.hash);
    if (token) {
      send({ type: "hello", token });
    } else if (pairing) {
      show("pair");
      $("pair").onsubmit = (e) => {
        e.preventDefault();
        send({ type: "pair", secret: pairing[1], name: $("name").value });
      };
    } else {
      show("start");
    }
  });
  ws.addEventListener("message", (e) => {
    if (typeof e.data === "string") onText(JSON.parse(e.data));
    else onBinary(e.data);
  });
  ws.addEventListener("close", () => {
    $("status").textContent = "Disconnected";
    state.control = false;
    controls();
  });
}

const keys = {
  esc: "\x1b", tab: "\t", pgup: "\x1b[5~", pgdn: "\x1b[6~",
  up: "A", down: "B", right: "C", left: "D",
};
for (const button of document.querySelectorAll("#keys button")) {
  button.addEventListener("click", () => {
    const mod = button.dataset.mod;
    if (mod) {
      state[mod] = !state[mod];
      button.setAttribute("aria-pressed", String(state[mod]));
      return;
    }
    let seq = keys[button.dataset.key];
    if (seq.length === 1 && seq >= "A" && seq <= "D") {
      seq = (term.modes.applicationCursorKeysMode ? "\x1bO" : "\x1b[") + seq;
    }
    type((state.alt ? "\x1b" : "") + seq);
  });
}

// Ctrl turns the next letter into its control character; Alt prefixes ESC.
function modified(text) {
  let out = text;
  if (state.ctrl && out.length > 0) {
    const c = out[0].toUpperCase().charCodeAt(0);
    if (c >= 64 && c <= 95) out = String.fromCharCode(c - 64) + out.slice(1);
  }
  if (state.alt) out = "\x1b" + out;
  for (const mod of ["ctrl", "alt"]) {
    state[mod] = false;
    document.querySelector(`[data-mod=${mod}]`).setAttribute("aria-pressed", "false");
  }
  return out;
}

$("compose").addEventListener("submit", (e) => {
  e.preventDefault();
  const line = $("line").value;
  $("line").value = "";
  // A Ctrl chord is sent alone; a line ends with Enter.
  const chord = state.ctrl;
  type(modified(line) + (chord ? "" : "\r"));
});
term.onData((data) => type(modified(data)));
$("back").addEventListener("click", () => {
  state.tab = null;
  show("tabs");
  send({ type: "tabs" });
});

connect();
