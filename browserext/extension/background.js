// The Quarrow toolbar action. It is enabled while the tab shows a web page; a click hands
// the page's address to quarrow-browser-host, which starts Quarrow on it with its Options
// dialog open. What the host reports as an error is shown to the user.
"use strict";

const api = globalThis.browser ?? globalThis.chrome;

// The host's name in its manifest (see quarrow-browser-host --register).
const QUARROW_HOST = "vek_ie_tbextension.vekietbintegration";

// Shown when the host cannot be reached at all (not registered, not executable, crashed).
const HOST_UNREACHABLE = { error: "Could not launch Quarrow", title: "Error" };

function isHarvestable(url) {
  return typeof url === "string" && /^https?:\/\//i.test(url);
}

async function updateAction(tabId, url) {
  try {
    if (isHarvestable(url)) {
      await api.action.enable(tabId);
    } else {
      await api.action.disable(tabId);
    }
  } catch (e) {
    // The tab was closed in the meantime.
  }
}

async function updateAllTabs() {
  const tabs = await api.tabs.query({});
  await Promise.all(tabs.map((tab) => updateAction(tab.id, tab.url)));
}

async function showError(reply) {
  try {
    await api.notifications.create({
      type: "basic",
      iconUrl: api.runtime.getURL("icons/quarrow-128.png"),
      title: reply.title,
      message: reply.error,
    });
  } catch (e) {
    console.error(`${reply.title}: ${reply.error}`, e);
  }
}

// What a click on the action does. Returns the host's reply (or the stand-in when the host
// could not be reached), or null for a tab that is not a web page.
async function harvest(tab) {
  if (!tab || !isHarvestable(tab.url)) {
    return null;
  }
  let reply;
  try {
    reply = await api.runtime.sendNativeMessage(QUARROW_HOST, { address: tab.url });
  } catch (e) {
    reply = { ...HOST_UNREACHABLE, detail: String((e && e.message) || e) };
  }
  if (!reply || reply.ok !== true) {
    const shown = reply && typeof reply.error === "string" ? reply : HOST_UNREACHABLE;
    console.warn("quarrow-browser-host:", JSON.stringify(reply));
    await showError(shown);
  }
  return reply;
}

// Disabled unless a tab's own state says otherwise, so that new tabs start disabled.
// The state outlives the background script, which the browser stops when idle, but a fresh
// start of the browser or the extension begins without it.
api.action.disable();
updateAllTabs();
// Browsers drop a tab's action state when it navigates, so every change is answered.
api.tabs.onUpdated.addListener((tabId, change, tab) => updateAction(tabId, tab.url));
api.action.onClicked.addListener((tab) => harvest(tab));
