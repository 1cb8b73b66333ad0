// An MCP client written with the official TypeScript SDK, driving `lumetra mcp` over stdio.
//   node client.mjs LUMETRA DATA_DIR tracking|offline
// Prints one JSON object with what it saw; the GoogleTest side checks it.
import { Client } from "@modelcontextprotocol/sdk/client/index.js";
import { StdioClientTransport } from "@modelcontextprotocol/sdk/client/stdio.js";

const [lumetra, dataDir, scenario] = process.argv.slice(2);
const transport = new StdioClientTransport({
  command: lumetra,
  args: ["mcp"],
  env: { ...process.env, LUMETRA_DATA_DIR: dataDir },
  stderr: "inherit",
});
let negotiated = null;
const setProtocolVersion = transport.setProtocolVersion?.bind(transport);
transport.setProtocolVersion = (version) => {
  negotiated = version;
  setProtocolVersion?.(version);
};

const client = new Client({ name: "lumetra-e2e", version: "1.0.0" });
await client.connect(transport);
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
