// An MCP client written with the official TypeScript SDK, driving `lumetra mcp` over stdio.
//   node client.mjs LUMETRA DATA_DIR tracking|offline [MODE]
// MODE picks the client: "v1" (the default) is the 1.x SDK; with the 2.x SDK, "auto" negotiates
// through server/discover and a version pins it (a legacy one through the initialize handshake).
// Prints one JSON object with what it saw; the GoogleTest side checks it.
import * as v1 from "@modelcontextprotocol/sdk/client/index.js";
import * as v1stdio from "@modelcontextprotocol/sdk/client/stdio.js";
import * as v2 from "@modelcontextprotocol/client";
import * as v2stdio from "@modelcontextprotocol/client/stdio";

const [lumetra, dataDir, scenario, mode = "v1"] = process.argv.slice(2);
const info = { name: "lumetra-e2e", version: "1.0.0" };
const server = { command: lumetra, args: ["mcp"], env: { ...process.env, LUMETRA_DATA_DIR: dataDir }, stderr: "inherit" };

let client;
let transport;
let negotiated = null;
if (mode === "v1") {
  transport = new v1stdio.StdioClientTransport(server);
  const setProtocolVersion = transport.setProtocolVersion?.bind(transport);
  transport.setProtocolVersion = (version) => {
    negotiated = version;
    setProtocolVersion?.(version);
  };
  client = new v1.Client(info);
} else {
  transport = new v2stdio.StdioClientTransport(server);
  const modern = mode === "auto" || mode.startsWith("2026");
  client = new v2.Client(info, {
    versionNegotiation: { mode: mode === "auto" ? "auto" : modern ? { pin: mode } : "legacy" },
    ...(modern ? {} : { supportedProtocolVersions: [mode] }),
  });
}
await client.connect(transport);
if (mode !== "v1") negotiated = client.getNegotiatedProtocolVersion() ?? null;
const seen = {
  negotiated,
  server: client.getServerVersion(),
  tools: (await client.listTools()).tools.map((tool) => tool.name),
};
const call = async (name, args = {}) => {
  const result = await client.callTool({ name, arguments: args });
  return { isError: result.isError, text: result.content[0].text, structured: result.structuredContent ?? null };
};
if (scenario === "tracking") {
  seen.start = await call("start_session", { project: "Garden", description: "Planning" });
  seen.describe = await call("set_description", { description: "Planning the beds" });
  seen.sessions = await call("list_sessions", { since: "today" });
  seen.status = await call("get_status");
  seen.stop = await call("stop_session");
  seen.unknown = await call("start_session", { project: "Nope" });
} else {
  seen.status = await call("get_status");
}
await client.close();
process.stdout.write(JSON.stringify(seen));
