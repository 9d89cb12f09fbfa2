-- The database the inspector's tests read: schema shop with every kind of key, schema
-- other with a same-named table, schemas hr and sales that shop's keys refer to, an empty
-- schema, and the login role inspector.
\set ON_ERROR_STOP on

CREATE ROLE inspector LOGIN PASSWORD '-p@ss word ';
GRANT CONNECT ON DATABASE citest TO inspector;

CREATE SCHEMA shop;
CREATE SCHEMA other;
CREATE SCHEMA empty_one;
CREATE SCHEMA hr;
CREATE SCHEMA sales;
GRANT USAGE ON SCHEMA shop, other, empty_one, hr, sales TO inspector;

CREATE TABLE other.customers (id integer PRIMARY KEY, name text);
-- The injection test checks that this table survives.
CREATE TABLE other.t (id integer);

CREATE TYPE shop."Mood" AS ENUM ('calm', 'busy');

CREATE TABLE shop.customers (
    id integer PRIMARY KEY,
    email varchar(40) NOT NULL,
    credit numeric(10,2),
    mood shop."Mood",
    CONSTRAINT uq_customers_email UNIQUE (email)
);

CREATE TABLE shop.orders (
    id integer PRIMARY KEY,
    customer_id integer NOT NULL,
    placed_at timestamptz,
    tags int[],
    CONSTRAINT fk_customer FOREIGN KEY (customer_id) REFERENCES shop.customers (id)
);

-- The same constraint name on a second table.
CREATE TABLE shop.invoices (
    id uuid PRIMARY KEY,
    customer_id integer,
    CONSTRAINT fk_customer FOREIGN KEY (customer_id) REFERENCES shop.customers (id)
);

-- A composite primary key, and a two-column foreign key into it.
CREATE TABLE shop.order_lines (
    order_id integer NOT NULL,
    line_no integer NOT NULL,
    product text,
    PRIMARY KEY (order_id, line_no),
    CONSTRAINT fk_order FOREIGN KEY (order_id) REFERENCES shop.orders (id)
);

CREATE TABLE shop.shipments (
    id integer PRIMARY KEY,
    line_no integer,
    order_id integer,
    CONSTRAINT fk_line FOREIGN KEY (order_id, line_no) REFERENCES shop.order_lines (order_id, line_no)
);

CREATE TABLE shop.categories (
    id integer PRIMARY KEY,
    parent_id integer,
    CONSTRAINT fk_parent FOREIGN KEY (parent_id) REFERENCES shop.categories (id)
);

-- Mixed case, quotes and non-ASCII letters; a key into the other schema; a dropped column.
CREATE TABLE shop."Audit" (
    entry bigint PRIMARY KEY,
    customer_id integer,
    obsolete text,
    CONSTRAINT fk_customer FOREIGN KEY (customer_id) REFERENCES other.customers (id)
);
ALTER TABLE shop."Audit" DROP COLUMN obsolete;
ALTER TABLE shop."Audit" ADD COLUMN "Wer ""hat"" geändert" text;

-- A partitioned table with two partitions, and a key into it: neither the partitions nor
-- the keys the server adds for them are tables or constraints of their own.
CREATE TABLE shop.events (
    id integer NOT NULL,
    happened date NOT NULL,
    PRIMARY KEY (id, happened)
) PARTITION BY RANGE (happened);
CREATE TABLE shop.events_2023 PARTITION OF shop.events FOR VALUES FROM ('2023-01-01') TO ('2024-01-01');
CREATE TABLE shop.events_2024 PARTITION OF shop.events FOR VALUES FROM ('2024-01-01') TO ('2025-01-01');
CREATE TABLE shop.event_notes (
    event_id integer,
    happened date,
    note text,
    CONSTRAINT fk_event FOREIGN KEY (event_id, happened) REFERENCES shop.events (id, happened)
);

CREATE TABLE shop.empty_marker ();

CREATE VIEW shop.customer_orders AS
    SELECT c.email, o.placed_at FROM shop.customers c JOIN shop.orders o ON o.customer_id = c.id;

-- Keys into two other schemas, one of them to a key that is not the primary one; beside
-- them a table whose name holds a dot and reads like the table regions of the schema sales.
CREATE TABLE hr.employees (
    id integer PRIMARY KEY,
    badge text NOT NULL UNIQUE,
    name text NOT NULL,
    salary numeric(10,2)
);
CREATE TABLE sales.regions (code text PRIMARY KEY, name text);
CREATE TABLE shop."sales.regions" (id integer PRIMARY KEY, label text NOT NULL);
CREATE TABLE shop.stores (
    id integer PRIMARY KEY,
    manager_id integer NOT NULL,
    deputy_badge text,
    region_code text,
    local_region integer,
    CONSTRAINT fk_manager FOREIGN KEY (manager_id) REFERENCES hr.employees (id),
    CONSTRAINT fk_deputy FOREIGN KEY (deputy_badge) REFERENCES hr.employees (badge),
    CONSTRAINT fk_region FOREIGN KEY (region_code) REFERENCES sales.regions (code),
    CONSTRAINT fk_local_region FOREIGN KEY (local_region) REFERENCES shop."sales.regions" (id)
);

-- A foreign key that is also unique: one invoice per order.
CREATE TABLE shop.invoice (
    id integer PRIMARY KEY,
    order_id integer NOT NULL,
    total numeric(10,2) NOT NULL,
    CONSTRAINT uq_invoice_order UNIQUE (order_id),
    CONSTRAINT fk_invoice_order FOREIGN KEY (order_id) REFERENCES shop.orders (id)
);
