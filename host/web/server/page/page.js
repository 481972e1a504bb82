// The show's page: live levels, rows and controllers over one WebSocket, and a Control view
// whose faders and buttons send OSC to the plug-in through the host.
"use strict";

const Channels = 512;
const HighlightMs = 1000;
const SendEveryMs = 40; // a fader sends its latest value at most 25 times a second
const FollowPauseMs = 500; // a fader the user moved ignores others for this long

const show = { levels: new Map(), drivers: new Map(), universes: [], rows: [], controlKey: "" };
let socket = null;

function element(tag, className, text) {
  const made = document.createElement(tag);
  if (className) made.className = className;
  if (text !== undefined) made.textContent = text;
  return made;
}

// Tabs: one view at a time.
for (const button of document.querySelectorAll("nav button")) {
  button.addEventListener("click", () => {
    for (const other of document.querySelectorAll("nav button"))
      other.classList.toggle("chosen", other === button);
    for (const view of document.querySelectorAll("main section"))
      view.hidden = view.id !== button.dataset.view + "-view";
  });
}

// Levels: 512 cells made once; a cell is touched only when its level changes.
const levelsBox = document.getElementById("levels");
const universeChooser = document.getElementById("universe");
const cells = [];
for (let channel = 1; channel <= Channels; ++channel) {
  const cell = element("div", "channel");
  cell.dataset.channel = channel;
  cell.append(element("div", "bar"), element("span", "number", channel), element("span", "value", "0"));
  cell.shown = 0;
  cells.push(cell);
  levelsBox.append(cell);
}

function shownUniverse() { return Number(universeChooser.value) || 1; }

// Redraws the chosen universe; `all` also renews what does not follow the levels (names, the
// universe itself), else only the cells whose level changed are touched.
function showLevels(all = true) {
  const universe = shownUniverse();
  const levels = show.levels.get(universe) || new Array(Channels).fill(0);
  const now = performance.now();
  cells.forEach((cell, i) => {
    const level = levels[i];
    if (!all && cell.shown === level) return;
    const names = show.drivers.get(universe + "." + (i + 1));
    cell.classList.toggle("driven", !!names);
    cell.title = "Channel " + (i + 1) + ": " + level + (names ? "\n" + names.join("\n") : "");
    if (cell.shown === level) return;
    cell.shown = level;
    cell.children[0].style.height = (level * 100 / 255) + "%";
    cell.children[2].textContent = level;
    cell.classList.add("changed");
    cell.litUntil = now + HighlightMs;
  });
}
setInterval(() => {
  const now = performance.now();
  for (const cell of cells)
    if (cell.litUntil && cell.litUntil <= now) { cell.classList.remove("changed"); cell.litUntil = 0; }
}, 200);
universeChooser.addEventListener("change", () => showLevels());

function showUniverses(universes) {
  const chosen = shownUniverse();
  if (universes.join() === show.universes.join()) return;
  show.universes = universes;
  universeChooser.replaceChildren(...universes.map(u => {
    const option = element("option", "", "Universe " + u);
    option.value = u;
    return option;
  }));
  universeChooser.value = universes.includes(chosen) ? chosen : universes[0];
}

function targetText(target) {
  if (!target) return "";
  const [kind, name, , universe, channel] = target;
  return [name || kind, universe ? "U" + universe + "." + channel : ""].filter(Boolean).join(" ");
}

function showRows(rows) {
  show.rows = rows;
  const body = document.querySelector("#rows tbody");
  body.replaceChildren(...rows.map(row => {
    const line = element("tr", row.hits > 0 ? "hit" : "");
    line.dataset.row = row.row;
    const cellsOfRow = [["number", row.row], ["address", row.address], ["condition", row.condition],
      ["target", targetText(row.target)], ["hits", row.hits],
      ["level", row.lastLevel === null ? "" : row.lastLevel],
      ["cannot-fire", row.cannotFire.join("; ")]];
    for (const [name, text] of cellsOfRow) line.append(element("td", name, text));
    return line;
  }));
  const key = rows.map(r => r.address + " " + r.condition).join("\n");
  if (key !== show.controlKey) {
    show.controlKey = key;
    buildControls();
  }
}

function timeText(iso) { return iso ? new Date(iso).toLocaleTimeString() : ""; }

function showControllers(event) {
  const senders = document.querySelector("#controllers tbody");
  senders.replaceChildren(...event.controllers.map(c => {
    const line = element("tr");
    line.append(element("td", "endpoint", c.endpoint), element("td", "", c.controller ? "yes" : "no"),
      element("td", "hits", c.datagrams), element("td", "", c.lastAddress || ""),
      element("td", "", timeText(c.lastSeen)));
    return line;
  }));
  const unmatched = document.querySelector("#unmatched tbody");
  unmatched.replaceChildren(...event.unmatched.map(u => {
    const line = element("tr");
    line.append(element("td", "", u.address), element("td", "hits", u.messages),
      element("td", "", timeText(u.lastSeen)));
    return line;
  }));
  const f = event.feedback || {};
  document.getElementById("feedback").textContent =
    "Feedback " + (f.mode || "off") + (f.mode === "others" ? ", " + f.sent + " sent" : "") +
    (event.announcement ? "; announcement " + event.announcement.state : "");
}

function showDmxOutput(event) {
  const state = document.getElementById("dmx-output");
  state.className = event.state;
  state.textContent = "DMX output " + event.state + (event.reason ? ": " + event.reason : "");
}

// Control: one fader or button per address the show takes, from its OSCQuery namespace.
const pending = new Map(); // address -> the message still to send
setInterval(() => {
  if (!socket || socket.readyState !== WebSocket.OPEN) return;
  for (const message of pending.values()) socket.send(JSON.stringify(message));
  pending.clear();
}, SendEveryMs);

function send(address, type, args, label) {
  pending.set(address, { send: address, type: type, args: args });
  if (label) label.textContent = args.join(", ");
}

function nodesOf(node, into) {
  if (node.FULL_PATH && node.FULL_PATH !== "/" && !node.CONTENTS) into.push(node);
  for (const child of Object.values(node.CONTENTS || {})) nodesOf(child, into);
  return into;
}

// What a fader sends for the argument it moves; the other arguments get 0 or "".
function argumentsWith(type, index, value) {
  return [...type].map((tag, i) => i === index ? value : (tag === "s" ? "" : 0));
}

function controlFor(node) {
  const box = element("div", "control");
  box.dataset.address = node.FULL_PATH;
  box.append(element("span", "name", node.FULL_PATH), element("span", "what", node.DESCRIPTION || ""));
  const type = node.TYPE || "";
  const sent = element("span", "sent", "");
  const ranged = (node.RANGE || []).findIndex(r => r && "MIN" in r);
  const equals = show.rows.filter(r => r.address === node.FULL_PATH && /^= /.test(r.condition))
    .map(r => r.condition.slice(2)).filter(value => value.trim() !== "" && !isNaN(Number(value)));
  if (type === "") {
    const button = element("button", "", "Send");
    button.addEventListener("click", () => send(node.FULL_PATH, "", [], sent));
    box.append(button);
  } else if (equals.length && (type === "f" || type === "i")) {
    for (const value of [...new Set(equals)]) {
      const button = element("button", "", node.FULL_PATH + " " + value);
      button.addEventListener("click", () => send(node.FULL_PATH, type, [Number(value)], sent));
      box.append(button);
    }
  } else if (ranged >= 0 && /^[fis]+$/.test(type) && type[ranged] !== "s") {
    const range = node.RANGE[ranged];
    const fader = element("input");
    fader.type = "range";
    fader.min = range.MIN;
    fader.max = range.MAX;
    fader.step = type[ranged] === "i" ? 1 : (range.MAX - range.MIN) / 1000 || "any";
    fader.value = node.VALUE ? node.VALUE[ranged] : range.MIN;
    fader.addEventListener("input", () => {
      fader.movedAt = performance.now();
      send(node.FULL_PATH, type, argumentsWith(type, ranged, Number(fader.value)), sent);
    });
    // What others send to this address moves the fader, unless the user is moving it.
    fader.follow = args => {
      if (performance.now() - (fader.movedAt || 0) < FollowPauseMs) return;
      fader.value = args[ranged];
      sent.textContent = args.join(", ");
    };
    box.append(fader);
  } else {
    box.append(element("span", "what", "no range learned: nothing to move"));
  }
  box.append(sent);
  return box;
}

// The PIN a page from another machine was given, kept for this browser tab only.
function storedPin() { return sessionStorage.getItem("tarvex-pin") || ""; }

const pinForm = document.getElementById("pin");
pinForm.addEventListener("submit", event => {
  event.preventDefault();
  const pin = document.getElementById("pin-value").value.trim();
  sessionStorage.setItem("tarvex-pin", pin);
  if (socket && socket.readyState === WebSocket.OPEN) socket.send(JSON.stringify({ pin: pin }));
});

function buildControls() {
  const headers = { "Accept": "application/json" };
  if (storedPin()) headers.Authorization = "Bearer " + storedPin();
  fetch("/", { headers: headers })
    .then(response => {
      if (!response.ok) throw new Error(response.status === 401 ? "the PIN is needed" : response.status);
      return response;
    })
    .then(response => response.json())
    .then(root => {
      document.getElementById("control").replaceChildren(...nodesOf(root, []).map(controlFor));
    })
    .catch(error => {
      document.getElementById("control-state").textContent = "Cannot read the show: " + error;
    });
}

const handlers = {
  levels: event => {
    show.levels.set(event.universe, event.levels);
    if (event.universe === shownUniverse()) showLevels(false);
  },
  channels: event => {
    show.drivers = new Map(event.drivers.map(d => [d.universe + "." + d.channel, d.names]));
    showUniverses(event.universes);
    showLevels();
  },
  rows: event => showRows(event.rows),
  controllers: showControllers,
  dmxOutput: showDmxOutput,
  value: event => {
    for (const box of document.querySelectorAll(".control")) {
      const fader = box.querySelector("input[type=range]");
      if (box.dataset.address === event.address && fader && fader.follow) fader.follow(event.args);
    }
  },
  pinNeeded: event => {
    pinForm.hidden = false;
    // Without the PIN a page that may not read has nothing true to show.
    for (const part of document.querySelectorAll("nav, main")) part.hidden = !event.reading;
    if (storedPin()) socket.send(JSON.stringify({ pin: storedPin() }));
  },
  pinAccepted: () => {
    pinForm.hidden = true;
    for (const part of document.querySelectorAll("nav, main")) part.hidden = false;
    document.getElementById("control-state").textContent = "";
    buildControls();
  },
  pinRefused: event => {
    sessionStorage.removeItem("tarvex-pin");
    pinForm.hidden = false;
    document.getElementById("pin-state").textContent = "Refused: " + event.reason;
  },
  controlRefused: event => { document.getElementById("control-state").textContent = event.reason; },
};

function connect() {
  const state = document.getElementById("connection");
  socket = new WebSocket((location.protocol === "https:" ? "wss://" : "ws://") + location.host + "/ws");
  socket.onopen = () => { state.textContent = "live"; state.className = "on"; };
  socket.onmessage = message => {
    const event = JSON.parse(message.data);
    if (handlers[event.event]) handlers[event.event](event);
  };
  socket.onclose = () => {
    state.textContent = "not connected, trying again";
    state.className = "off";
    setTimeout(connect, 2000);
  };
}
connect();
