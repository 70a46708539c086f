// Prints every user table of an Access file as the independent reader mdb-reader sees it,
// as JSON: [{name, columns: [{name, type}], rowCount, rows: [[value, ...], ...]}].
// Dates are {date: ISO text in UTC}, bytes are {hex: ...}; run from the folder where npm
// installed mdb-reader, with the file as the last argument.
import MDBReader from "mdb-reader";
import { readFileSync } from "node:fs";

const reader = new MDBReader(readFileSync(process.argv.at(-1)));
const tables = reader.getTableNames().map((name) => {
    const table = reader.getTable(name);
    const columns = table.getColumns();
    const rows = table.getData().map((row) => columns.map((column) => {
        const value = row[column.name];
        if (value === null || value === undefined)
            return null;
        if (value instanceof Date)
            return { date: value.toISOString() };
        if (Buffer.isBuffer(value))
            return { hex: value.toString("hex") };
        if (typeof value === "bigint")
            return value.toString();
        return value;
    }));
    return { name, columns: columns.map((c) => ({ name: c.name, type: c.type })), rowCount: table.rowCount, rows };
});
process.stdout.write(JSON.stringify(tables));
